import QtQuick
import QtQuick.Controls

// A text field with a rounded border that stays visible on light and dark backgrounds.
TextField {
    id: control


    color: Theme.palette.text
    placeholderTextColor: Theme.secondary
    selectionColor: Theme.accent
    selectedTextColor: Theme.accentText
    leftPadding: 6
    rightPadding: 6

    // A field the user is not typing in shows the start of its text, as native fields do, rather
    // than the end of a long URL it was given.
    onTextChanged: if (!activeFocus) cursorPosition = 0
    onActiveFocusChanged: if (!activeFocus) cursorPosition = 0

    background: Rectangle {
        implicitWidth: 120
        implicitHeight: 24
        radius: 5
        color: Theme.palette.base
        border.width: control.activeFocus ? 2 : 1
        border.color: control.activeFocus ? Theme.accent
                                          : Qt.rgba(Theme.text.r, Theme.text.g,
                                                    Theme.text.b, Theme.dark ? 0.3 : 0.25)
    }
}
