import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Haulwise

// An application with no automated installer: to choose, find, and give a download link that travels
// to the other Mac.
Item {
    id: row

    required property RestoreModel restore
    required property string label
    required property string path
    required property int app
    required property bool checked
    required property bool installed
    required property string link

    objectName: "manual:" + (path.length > 0 ? path : label)
    implicitHeight: Math.max(28, content.implicitHeight)

    ColumnLayout {
        id: content
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.leftMargin: Theme.rowInset
        anchors.rightMargin: Theme.rowInset
        anchors.verticalCenter: parent.verticalCenter
        spacing: 4

        RowLayout {
            spacing: 8
            Layout.topMargin: 2

            Check {
                objectName: "check"
                text: row.label
                checked: row.checked
                leftPadding: 0
                onToggled: row.restore.setAppSelected(row.app, checked)
            }
            Item {
                Layout.fillWidth: true
            }
            Badge {
                objectName: "installedBadge"
                visible: row.installed
                text: qsTr("already installed")
            }
        }
        RowLayout {
            spacing: 6
            Layout.leftMargin: 20
            Layout.bottomMargin: 2

            PushButton {
                objectName: "find"
                text: qsTr("Find")
                font.pixelSize: Theme.caption
                symbol: "magnifyingglass"
                symbolSize: 12
                padding: 2
                leftPadding: 6
                rightPadding: 6
                implicitHeight: 22
                onClicked: row.restore.downloads.find(row.path)
            }
            Field {
                objectName: "link"
                text: row.link
                placeholderText: qsTr("download URL")
                font.pixelSize: Theme.caption
                implicitHeight: 22
                selectByMouse: true
                Layout.fillWidth: true
                onTextEdited: row.restore.downloads.setLink(row.path, text)
            }
            PushButton {
                objectName: "open"
                enabled: row.link.length > 0
                symbol: "arrow.up.forward.app"
                symbolSize: 12
                padding: 2
                leftPadding: 6
                rightPadding: 6
                implicitHeight: 22
                implicitWidth: 28
                ToolTip.visible: hovered
                ToolTip.text: qsTr("Open download link")
                ToolTip.delay: 600
                Accessible.name: qsTr("Open download link")
                onClicked: row.restore.downloads.open(row.link)
            }
        }
    }
}
