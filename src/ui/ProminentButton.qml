import QtQuick

// The filled, accent-coloured button of a group: the one the user most likely wants.
PushButton {
    prominent: true
}
