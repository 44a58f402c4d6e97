import QtQuick
import QtQuick.Layouts

// A number over its label, in the summary row of the restore window.
ColumnLayout {
    id: block

    property int count
    property string label
    property color tint

    spacing: 1

    TextLabel {
        objectName: "count"
        text: String(block.count)
        font.pixelSize: Theme.title3
        font.bold: true
        color: block.tint
    }
    TextLabel {
        objectName: "label"
        text: block.label
        font.pixelSize: Theme.caption2
        color: Theme.secondary
    }
}
