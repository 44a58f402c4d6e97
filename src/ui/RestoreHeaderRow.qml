import QtQuick
import QtQuick.Layouts
import Haulwise

// A section's title in the restore list, with its count, and the buttons that choose all or none of
// it (for login items, that apply them).
Item {
    id: row

    required property RestoreModel restore
    required property int section
    required property string label
    required property int source

    // The sections of the packages beyond Homebrew's own, chosen by their restore::BrewfileKind (source).
    readonly property bool otherKind: section === RestoreListModel.Extensions
        || section === RestoreListModel.NpmPackages || section === RestoreListModel.RustCrates
        || section === RestoreListModel.PythonTools || section === RestoreListModel.Fonts
    readonly property bool choosable: section === RestoreListModel.CaskApps || section === RestoreListModel.StoreApps
        || section === RestoreListModel.Taps || section === RestoreListModel.Formulae
        || section === RestoreListModel.OtherCasks || otherKind

    function chooseAll(on) {
        if (otherKind) {
            restore.chooseAllPackages(source, on)
            return
        }
        switch (section) {
        case RestoreListModel.Taps:
            restore.chooseAllTaps(on)
            break
        case RestoreListModel.Formulae:
            restore.chooseAllFormulae(on)
            break
        case RestoreListModel.OtherCasks:
            restore.chooseAllCasks(on)
            break
        default:
            if (on)
                restore.selectAll(source)
            else
                restore.selectNone(source)
        }
    }

    objectName: "header:" + label
    implicitHeight: content.implicitHeight

    RowLayout {
        id: content
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.leftMargin: Theme.rowInset
        anchors.rightMargin: Theme.rowInset
        anchors.verticalCenter: parent.verticalCenter
        spacing: 8

        TextLabel {
            objectName: "sectionTitle"
            text: row.label
            font.pixelSize: Theme.callout
            font.bold: true
            color: Theme.secondary
            Layout.topMargin: 10
        }
        Item {
            Layout.fillWidth: true
        }
        TextLabel {
            objectName: "loginStatus"
            visible: row.section === RestoreListModel.LoginItems && row.restore.loginItems.status.length > 0
            text: row.restore.loginItems.status
            font.pixelSize: Theme.caption2
            color: Theme.secondary
            elide: Text.ElideLeft
            Layout.topMargin: 10
            Layout.maximumWidth: 300
        }
        LinkButton {
            objectName: "all"
            visible: row.choosable
            text: qsTr("All")
            font.pixelSize: Theme.caption
            color: Theme.blue
            Layout.topMargin: 10
            onClicked: row.chooseAll(true)
        }
        LinkButton {
            objectName: "none"
            visible: row.choosable
            text: qsTr("None")
            font.pixelSize: Theme.caption
            color: Theme.blue
            Layout.topMargin: 10
            onClicked: row.chooseAll(false)
        }
        LinkButton {
            objectName: "apply"
            visible: row.section === RestoreListModel.LoginItems
            text: qsTr("Apply")
            font.pixelSize: Theme.caption
            color: Theme.blue
            Layout.topMargin: 10
            onClicked: row.restore.loginItems.apply()
        }
    }
}
