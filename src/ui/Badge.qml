import QtQuick

// A short state word on a capsule.
Rectangle {
    id: badge

    required property Theme theme
    property alias text: label.text
    property alias textColor: label.color

    implicitWidth: label.implicitWidth + 12
    implicitHeight: label.implicitHeight + 4
    radius: height / 2
    color: theme.quaternaryFill

    Text {
        textFormat: Text.PlainText
        id: label
        anchors.centerIn: parent
        font.pixelSize: badge.theme.caption2
        color: badge.theme.secondary
    }
}
