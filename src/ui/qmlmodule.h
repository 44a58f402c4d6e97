#pragma once

class QQmlEngine;

namespace syncing {
class AppSettings;
}

namespace ui {

// Makes the views' module ("Haulwise") known to QML. Call before the first engine loads a view; calling
// again does nothing.
void registerQmlModule();

// The engine every window of the program shares, set up for the views, which see `settings` as their
// AppSettings. The settings must outlive the engine.
void prepareEngine(QQmlEngine &engine, syncing::AppSettings &settings);
// The settings the engine was prepared with; null for an engine that was not.
syncing::AppSettings *settingsOf(const QQmlEngine *engine);

// Where the views are.
inline constexpr const char *moduleURI = "Haulwise";

} // namespace ui
