import QtQuick
import QtQuick.Layouts
import Haulwise

// An entry of the manifest the restore leaves out, and why.
Item {
    id: row

    required property string label
    required property string note
    required property string path

    objectName: "skipped:" + (path.length > 0 ? path : label)
    implicitHeight: Math.max(28, content.implicitHeight)

    RowLayout {
        id: content
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.leftMargin: Theme.rowInset
        anchors.rightMargin: Theme.rowInset
        anchors.verticalCenter: parent.verticalCenter
        spacing: 8

        SymbolImage {
            name: "exclamationmark.triangle.fill"
            color: Theme.orange
            size: 12
        }
        TextLabel {
            objectName: "skippedName"
            text: row.label
            elide: Text.ElideMiddle
            Layout.maximumWidth: 240
        }
        TextLabel {
            objectName: "note"
            text: row.note
            font.pixelSize: Theme.caption2
            color: Theme.secondary
            elide: Text.ElideRight
            Layout.fillWidth: true
        }
    }
}
