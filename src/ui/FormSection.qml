import QtQuick
import QtQuick.Layouts

// A group of a grouped form: an optional header over rows on a rounded card.
ColumnLayout {
    id: section

    property string title
    default property alias rows: body.data

    spacing: 6

    TextLabel {
        visible: section.title.length > 0
        text: section.title
        font.pixelSize: Theme.headline
        font.bold: true
        Layout.leftMargin: 2
    }
    Rectangle {
        Layout.fillWidth: true
        implicitHeight: body.implicitHeight + 20
        radius: 6
        color: Qt.rgba(Theme.quaternaryFill.r, Theme.quaternaryFill.g,
                       Theme.quaternaryFill.b, Theme.quaternaryFill.a * 0.5)
        border.width: 1
        border.color: Theme.separator

        ColumnLayout {
            id: body
            anchors.fill: parent
            anchors.margins: 10
            spacing: 8
        }
    }
}
