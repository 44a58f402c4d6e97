import QtQuick
import QtQuick.Layouts
import Haulwise

// An application Homebrew or the App Store installs, to choose or leave out.
Item {
    id: row

    required property RestoreModel restore
    required property string label
    required property string note
    required property string path
    required property int app
    required property bool checked
    required property bool installed
    required property bool thirdParty

    objectName: "app:" + (path.length > 0 ? path : label)
    implicitHeight: Math.max(28, content.implicitHeight)

    RowLayout {
        id: content
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.leftMargin: Theme.rowInset
        anchors.rightMargin: Theme.rowInset
        anchors.verticalCenter: parent.verticalCenter
        spacing: 8

        Check {
            objectName: "check"
            text: row.label
            checked: row.checked
            leftPadding: 0
            onToggled: row.restore.setAppSelected(row.app, checked)
        }
        TextLabel {
            objectName: "note"
            visible: row.note.length > 0
            text: row.note
            font.pixelSize: Theme.caption2
            color: Theme.secondary
        }
        Item {
            Layout.fillWidth: true
        }
        Badge {
            objectName: "thirdPartyBadge"
            visible: row.thirdParty
            text: qsTr("third-party")
            textColor: Theme.orange
        }
        Badge {
            objectName: "installedBadge"
            visible: row.installed
            text: qsTr("already installed")
        }
    }
}
