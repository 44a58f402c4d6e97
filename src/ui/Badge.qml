import QtQuick

// A short state word on a capsule.
Rectangle {
    id: badge

    property alias text: label.text
    property alias textColor: label.color

    implicitWidth: label.implicitWidth + 12
    implicitHeight: label.implicitHeight + 4
    radius: height / 2
    color: Theme.quaternaryFill

    Text {
        textFormat: Text.PlainText
        id: label
        anchors.centerIn: parent
        font.pixelSize: Theme.caption2
        color: Theme.secondary
    }
}
