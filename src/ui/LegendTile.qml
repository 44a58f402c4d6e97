import QtQuick
import QtQuick.Layouts

// One count of the panel's legend: the number in the tile's colour over its label.
Rectangle {
    id: tile

    required property Theme theme
    property int count
    property string label
    property color tint

    implicitHeight: column.implicitHeight + 16
    radius: 8
    color: Qt.rgba(theme.quaternaryFill.r, theme.quaternaryFill.g, theme.quaternaryFill.b,
                   theme.quaternaryFill.a * 0.4)

    ColumnLayout {
        id: column
        anchors.fill: parent
        anchors.margins: 8
        spacing: 2

        Text {
            textFormat: Text.PlainText
            objectName: "count"
            text: String(tile.count)
            font.pixelSize: tile.theme.title2
            font.bold: true
            color: tile.tint
        }
        Text {
            textFormat: Text.PlainText
            objectName: "label"
            text: tile.label
            font.pixelSize: tile.theme.caption
            color: tile.theme.secondary
            elide: Text.ElideRight
            Layout.fillWidth: true
        }
    }
}
