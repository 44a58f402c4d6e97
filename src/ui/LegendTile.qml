import QtQuick
import QtQuick.Layouts

// One count of the panel's legend: the number in the tile's colour over its label.
Rectangle {
    id: tile

    property int count
    property string label
    property color tint

    implicitHeight: column.implicitHeight + 16
    radius: 8
    color: Qt.rgba(Theme.quaternaryFill.r, Theme.quaternaryFill.g, Theme.quaternaryFill.b,
                   Theme.quaternaryFill.a * 0.4)

    ColumnLayout {
        id: column
        anchors.fill: parent
        anchors.margins: 8
        spacing: 2

        Text {
            textFormat: Text.PlainText
            objectName: "count"
            text: String(tile.count)
            font.pixelSize: Theme.title2
            font.bold: true
            color: tile.tint
        }
        Text {
            textFormat: Text.PlainText
            objectName: "label"
            text: tile.label
            font.pixelSize: Theme.caption
            color: Theme.secondary
            elide: Text.ElideRight
            Layout.fillWidth: true
        }
    }
}
