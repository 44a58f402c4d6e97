import QtQuick
import QtQuick.Layouts

// A number over its label, in the summary row of the restore window.
ColumnLayout {
    id: block

    required property Theme theme
    property int count
    property string label
    property color tint

    spacing: 1

    TextLabel {
        objectName: "count"
        text: String(block.count)
        font.pixelSize: block.theme.title3
        font.bold: true
        color: block.tint
    }
    TextLabel {
        objectName: "label"
        text: block.label
        font.pixelSize: block.theme.caption2
        color: block.theme.secondary
    }
}
