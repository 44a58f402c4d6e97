import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Haulwise

// One row of the restore list: a section header or footer, an application, a tap, formula or other
// package, a font to copy by hand, a login item, or an entry the restore leaves out. The row
// only shows what the list model says and hands every change to the restore model or its parts.
Item {
    id: row

    required property RestoreModel restore
    required property Theme theme
    required property int index
    required property int kind
    required property int section
    required property string label
    required property string note
    required property string path
    required property int source
    required property bool checked
    required property bool installed
    required property string link
    required property int loginState
    required property bool thirdParty
    required property bool first
    required property bool last

    // The list's rows sit on an inset column.
    readonly property int inset: 20

    objectName: ["header", "app", "manual", "login", "footer", "package", "skipped", "byHand"][kind] + ":" + (path.length > 0 ? path : label)
    implicitHeight: {
        const content = loader.item ? loader.item.implicitHeight : 0
        return kind === RestoreListModel.Header || kind === RestoreListModel.Footer ? content : Math.max(28, content)
    }

    Loader {
        id: loader
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.leftMargin: row.inset
        anchors.rightMargin: row.inset
        anchors.verticalCenter: parent.verticalCenter
        sourceComponent: {
            switch (row.kind) {
            case RestoreListModel.Header:
                return header
            case RestoreListModel.Footer:
                return footer
            case RestoreListModel.Manual:
                return manualItem
            case RestoreListModel.Login:
                return loginItem
            case RestoreListModel.Package:
                return packageItem
            case RestoreListModel.Skipped:
                return skippedItem
            case RestoreListModel.ByHand:
                return byHandItem
            default:
                return appItem
            }
        }
    }

    // The sections of the packages beyond Homebrew's own, chosen by their restore::PackageKind (source).
    readonly property bool otherKind: section === RestoreListModel.Extensions || section === RestoreListModel.NpmPackages
        || section === RestoreListModel.RustCrates || section === RestoreListModel.PythonTools
        || section === RestoreListModel.Fonts
    readonly property bool choosable: section === RestoreListModel.CaskApps || section === RestoreListModel.StoreApps
        || section === RestoreListModel.Taps || section === RestoreListModel.Formulae || otherKind

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
        default:
            if (on)
                restore.selectAll(source)
            else
                restore.selectNone(source)
        }
    }

    // The parts of a row, one per kind, made by the loader above. A Loader of Qt 6.4 makes its item in
    // a context of its own, so these components cannot be bound to this file (pragma
    // ComponentBehavior: Bound), and unbound, qmllint cannot see `row` from inside them.
    // qmllint disable unqualified
    Component {
        id: header

        RowLayout {
            spacing: 8

            TextLabel {
                objectName: "sectionTitle"
                text: row.label
                font.pixelSize: row.theme.callout
                font.bold: true
                color: row.theme.secondary
                Layout.topMargin: 10
            }
            Item {
                Layout.fillWidth: true
            }
            TextLabel {
                objectName: "loginStatus"
                visible: row.section === RestoreListModel.LoginItems && row.restore.loginItems.status.length > 0
                text: row.restore.loginItems.status
                font.pixelSize: row.theme.caption2
                color: row.theme.secondary
                elide: Text.ElideLeft
                Layout.topMargin: 10
                Layout.maximumWidth: 300
            }
            LinkButton {
                objectName: "all"
                visible: row.choosable
                text: "All"
                font.pixelSize: row.theme.caption
                color: row.theme.blue
                Layout.topMargin: 10
                onClicked: row.chooseAll(true)
            }
            LinkButton {
                objectName: "none"
                visible: row.choosable
                text: "None"
                font.pixelSize: row.theme.caption
                color: row.theme.blue
                Layout.topMargin: 10
                onClicked: row.chooseAll(false)
            }
            LinkButton {
                objectName: "apply"
                visible: row.section === RestoreListModel.LoginItems
                text: "Apply"
                font.pixelSize: row.theme.caption
                color: row.theme.blue
                Layout.topMargin: 10
                onClicked: row.restore.loginItems.apply()
            }
        }
    }

    Component {
        id: footer

        TextLabel {
            objectName: "sectionFooter"
            text: row.label
            font.pixelSize: row.theme.caption2
            color: row.theme.secondary
            wrapMode: Text.Wrap
            topPadding: 4
            bottomPadding: 10
        }
    }

    Component {
        id: appItem

        RowLayout {
            spacing: 8

            Check {
                objectName: "check"
                theme: row.theme
                text: row.label
                checked: row.checked
                leftPadding: 0
                onToggled: row.restore.setSelected(row.path, checked)
            }
            TextLabel {
                objectName: "note"
                visible: row.note.length > 0
                text: row.note
                font.pixelSize: row.theme.caption2
                color: row.theme.secondary
            }
            Item {
                Layout.fillWidth: true
            }
            Badge {
                objectName: "thirdPartyBadge"
                theme: row.theme
                visible: row.thirdParty
                text: "third-party"
                textColor: row.theme.orange
            }
            Badge {
                objectName: "installedBadge"
                theme: row.theme
                visible: row.installed
                text: "already installed"
            }
        }
    }

    Component {
        id: packageItem

        RowLayout {
            spacing: 8

            Check {
                objectName: "check"
                theme: row.theme
                text: row.label
                checked: row.checked
                leftPadding: 0
                onToggled: {
                    if (row.otherKind)
                        row.restore.setPackageChosen(row.source, row.path, checked)
                    else if (row.section === RestoreListModel.Taps)
                        row.restore.setTapChosen(row.path, checked)
                    else
                        row.restore.setFormulaChosen(row.path, checked)
                }
            }
            TextLabel {
                objectName: "note"
                visible: row.note.length > 0
                text: row.note
                font.pixelSize: row.theme.caption2
                color: row.theme.secondary
            }
            Item {
                Layout.fillWidth: true
            }
            Badge {
                objectName: "thirdPartyBadge"
                theme: row.theme
                visible: row.thirdParty
                text: "third-party"
                textColor: row.theme.orange
            }
        }
    }

    Component {
        id: byHandItem

        RowLayout {
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
                font.pixelSize: row.theme.caption2
                color: row.theme.secondary
            }
            Item {
                Layout.fillWidth: true
            }
        }
    }

    Component {
        id: skippedItem

        RowLayout {
            spacing: 8

            SymbolImage {
                name: "exclamationmark.triangle.fill"
                color: row.theme.orange
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
                font.pixelSize: row.theme.caption2
                color: row.theme.secondary
                elide: Text.ElideRight
                Layout.fillWidth: true
            }
        }
    }

    Component {
        id: manualItem

        ColumnLayout {
            spacing: 4

            RowLayout {
                spacing: 8
                Layout.topMargin: 2

                Check {
                    objectName: "check"
                    theme: row.theme
                    text: row.label
                    checked: row.checked
                    leftPadding: 0
                    onToggled: row.restore.setSelected(row.path, checked)
                }
                Item {
                    Layout.fillWidth: true
                }
                Badge {
                    objectName: "installedBadge"
                    theme: row.theme
                    visible: row.installed
                    text: "already installed"
                }
            }
            RowLayout {
                spacing: 6
                Layout.leftMargin: 20
                Layout.bottomMargin: 2

                PushButton {
                    objectName: "find"
                    theme: row.theme
                    text: "Find"
                    font.pixelSize: row.theme.caption
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
                    theme: row.theme
                    text: row.link
                    placeholderText: "download URL"
                    font.pixelSize: row.theme.caption
                    implicitHeight: 22
                    selectByMouse: true
                    Layout.fillWidth: true
                    onTextEdited: row.restore.downloads.setLink(row.path, text)
                }
                PushButton {
                    objectName: "open"
                    theme: row.theme
                    enabled: row.link.length > 0
                    symbol: "arrow.up.forward.app"
                    symbolSize: 12
                    padding: 2
                    leftPadding: 6
                    rightPadding: 6
                    implicitHeight: 22
                    implicitWidth: 28
                    ToolTip.visible: hovered
                    ToolTip.text: "Open download link"
                    ToolTip.delay: 600
                    Accessible.name: "Open download link"
                    onClicked: row.restore.downloads.open(row.link)
                }
            }
        }
    }

    Component {
        id: loginItem

        RowLayout {
            spacing: 8

            Check {
                objectName: "check"
                theme: row.theme
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
                theme: row.theme
                text: row.loginState === LoginItems.AlreadySet ? "already set"
                    : row.loginState === LoginItems.WillAdd ? "will add" : "install app first"
                textColor: row.loginState === LoginItems.AlreadySet ? row.theme.secondary
                    : row.loginState === LoginItems.WillAdd ? row.theme.blue : row.theme.orange
            }
        }
    }
    // qmllint enable unqualified
}
