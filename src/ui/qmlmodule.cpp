#include "ui/qmlmodule.h"

#include "sync/appsettings.h"
#include "ui/symbolimageprovider.h"
#include "ui/symbols.h"

#include <QQmlEngine>

#include <mutex>

// Generated from the module's declarations by the build.
void qml_register_types_Haulwise();

namespace ui {

void registerQmlModule() {
    static std::once_flag once;
    std::call_once(once, [] { qml_register_types_Haulwise(); });
}

namespace {

// Each engine carries its own settings, so that windows made by different shells (or tests) each see
// the settings they were given.
constexpr const char *settingsProperty = "haulwiseSettings";

} // namespace

void prepareEngine(QQmlEngine &engine, syncing::AppSettings &settings) {
    registerQmlModule();
    engine.setProperty(settingsProperty, QVariant::fromValue(&settings));
    if (!engine.imageProvider(Symbols::providerId))
        engine.addImageProvider(Symbols::providerId, new SymbolImageProvider);
}

syncing::AppSettings *settingsOf(const QQmlEngine *engine) {
    return engine ? engine->property(settingsProperty).value<syncing::AppSettings *>() : nullptr;
}

} // namespace ui
