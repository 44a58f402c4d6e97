import QtQuick

// A text-only button, the way a link reads.
Item {
    id: control

    property string text
    property color color: "blue"
    property alias font: label.font
    readonly property bool hovered: mouse.containsMouse

    signal clicked

    implicitWidth: label.implicitWidth + 4
    implicitHeight: label.implicitHeight + 4
    activeFocusOnTab: enabled

    Accessible.role: Accessible.Link
    Accessible.name: text
    Accessible.onPressAction: clicked()

    Text {
        textFormat: Text.PlainText
        id: label
        anchors.centerIn: parent
        text: control.text
        color: control.color
        font.underline: control.hovered || control.activeFocus
        opacity: !control.enabled ? 0.4 : mouse.pressed ? 0.6 : 1
    }

    MouseArea {
        id: mouse
        anchors.fill: parent
        hoverEnabled: true
        enabled: control.enabled
        cursorShape: Qt.PointingHandCursor
        onClicked: control.clicked()
    }

    Keys.onSpacePressed: clicked()
    Keys.onReturnPressed: clicked()
    Keys.onEnterPressed: clicked()
}
