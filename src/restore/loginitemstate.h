#pragma once

#include <QString>

namespace restore {

// Where one of the old Mac's login items stands on this Mac.
enum class LoginItemState {
    alreadySet, // System Events lists it already
    willAdd,    // an application of that name is here, so Apply can add it
    needsApp,   // nothing here to start yet
};

// "alreadySet", "willAdd" or "needsApp": the form views compare against.
QString toText(LoginItemState state);

} // namespace restore
