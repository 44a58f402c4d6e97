#include "ui/qmlmodule.h"

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

void prepareEngine(QQmlEngine &engine) {
    registerQmlModule();
    if (!engine.imageProvider(Symbols::providerId))
        engine.addImageProvider(Symbols::providerId, new SymbolImageProvider);
}

} // namespace ui
