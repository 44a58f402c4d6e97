import QtQuick
import QtQuick.Layouts
import Haulwise

// A font file no cask installs: only its name travelled, so it is copied over by hand.
Item {
    id: row

    required property string label
    required property string note
    required property string path

    objectName: "byHand:" + (path.length > 0 ? path : label)
    implicitHeight: Math.max(28, content.implicitHeight)

    RowLayout {
        id: content
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.leftMargin: Theme.rowInset
        anchors.rightMargin: Theme.rowInset
        anchors.verticalCenter: parent.verticalCenter
        spacing: 8

        TextLabel {
            objectName: "fileName"
            text: row.label
            elide: Text.ElideMiddle
            Layout.maximumWidth: 320
        }
        TextLabel {
            objectName: "note"
            text: row.note
            font.pixelSize: Theme.caption2
            color: Theme.secondary
        }
        Item {
            Layout.fillWidth: true
        }
    }
}
