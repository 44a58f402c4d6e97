import QtQuick
import QtQuick.Layouts
import Haulwise

// A login item to re-add, and whether it can be.
Item {
    id: row

    required property RestoreModel restore
    required property string label
    required property string path
    required property bool checked
    required property int loginState

    objectName: "login:" + (path.length > 0 ? path : label)
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
            onToggled: row.restore.loginItems.setSelected(row.label, checked)
        }
        Item {
            Layout.fillWidth: true
        }
        Badge {
            objectName: "loginBadge"
            text: row.loginState === LoginItems.AlreadySet ? qsTr("already set")
                : row.loginState === LoginItems.WillAdd ? qsTr("will add") : qsTr("install app first")
            textColor: row.loginState === LoginItems.AlreadySet ? Theme.secondary
                : row.loginState === LoginItems.WillAdd ? Theme.blue : Theme.orange
        }
    }
}
