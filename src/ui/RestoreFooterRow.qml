import QtQuick
import Haulwise

// What a section of the restore list means, under its last entry.
Item {
    id: row

    required property string label

    objectName: "footer:" + label
    implicitHeight: content.implicitHeight

    TextLabel {
        id: content
        objectName: "sectionFooter"
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.leftMargin: Theme.rowInset
        anchors.rightMargin: Theme.rowInset
        anchors.verticalCenter: parent.verticalCenter
        text: row.label
        font.pixelSize: Theme.caption2
        color: Theme.secondary
        wrapMode: Text.Wrap
        topPadding: 4
        bottomPadding: 10
    }
}
