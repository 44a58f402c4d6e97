#pragma once

class QQmlEngine;

namespace ui {

// Makes the views' module ("Haulwise") known to QML. Call before the first engine loads a view; calling
// again does nothing.
void registerQmlModule();

// The engine every window of the program shares, set up for the views.
void prepareEngine(QQmlEngine &engine);

// Where the views are.
inline constexpr const char *moduleURI = "Haulwise";

} // namespace ui
