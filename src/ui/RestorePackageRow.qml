import QtQuick
import QtQuick.Layouts
import Haulwise

// A tap, formula, cask without an app, or package of another kind (editor extension, npm package,
// crate, Python tool, font cask) that the Brewfile would install, to choose or leave out.
Item {
    id: row

    required property RestoreModel restore
    required property int section
    required property string label
    required property string note
    required property string path
    // For the other kinds, their restore::BrewfileKind.
    required property int source
    required property bool checked
    required property bool thirdParty

    objectName: "package:" + (path.length > 0 ? path : label)
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
            onToggled: {
                if (row.section === RestoreListModel.Taps)
                    row.restore.setTapChosen(row.path, checked)
                else if (row.source >= 0)
                    row.restore.setPackageChosen(row.source, row.path, checked)
                else if (row.section === RestoreListModel.OtherCasks)
                    row.restore.setCaskChosen(row.path, checked)
                else
                    row.restore.setFormulaChosen(row.path, checked)
            }
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
    }
}
