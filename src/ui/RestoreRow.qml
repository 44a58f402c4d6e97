import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Haulwise

// One row of the restore list: a section header or footer, an application, or a login item. The row
// only shows what the list model says and hands every change to the restore model.
Item {
    id: row

    required property QtObject restore // the window's RestoreModel
    required property Theme theme
    required property int index
    required property string kind
    required property string section
    required property string label
    required property string note
    required property string path
    required property int source
    required property bool checked
    required property bool installed
    required property string link
    required property string loginState
    required property bool first
    required property bool last

    // The list's rows sit on an inset column.
    readonly property int inset: 20

    objectName: kind + ":" + (path.length > 0 ? path : label)
    implicitHeight: {
        const content = loader.item ? loader.item.implicitHeight : 0
        return kind === "header" || kind === "footer" ? content : Math.max(28, content)
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
            case "header":
                return header
            case "footer":
                return footer
            case "manual":
                return manualItem
            case "login":
                return loginItem
            default:
                return appItem
            }
        }
    }

    Component {
        id: header

        RowLayout {
            spacing: 8

            Label {
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
            Label {
                objectName: "loginStatus"
                visible: row.section === "login" && row.restore.loginStatus.length > 0
                text: row.restore.loginStatus
                font.pixelSize: row.theme.caption2
                color: row.theme.secondary
                elide: Text.ElideLeft
                Layout.topMargin: 10
                Layout.maximumWidth: 300
            }
            LinkButton {
                objectName: "all"
                visible: row.section === "cask" || row.section === "appStore"
                text: "All"
                font.pixelSize: row.theme.caption
                color: row.theme.blue
                Layout.topMargin: 10
                onClicked: row.restore.selectAllSource(row.source)
            }
            LinkButton {
                objectName: "none"
                visible: row.section === "cask" || row.section === "appStore"
                text: "None"
                font.pixelSize: row.theme.caption
                color: row.theme.blue
                Layout.topMargin: 10
                onClicked: row.restore.selectNoneSource(row.source)
            }
            LinkButton {
                objectName: "apply"
                visible: row.section === "login"
                text: "Apply"
                font.pixelSize: row.theme.caption
                color: row.theme.blue
                Layout.topMargin: 10
                onClicked: row.restore.applyLoginItems()
            }
        }
    }

    Component {
        id: footer

        Label {
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
                onToggled: row.restore.setSelectedPath(row.path, checked)
            }
            Label {
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
                objectName: "installedBadge"
                theme: row.theme
                visible: row.installed
                text: "already installed"
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
                    onToggled: row.restore.setSelectedPath(row.path, checked)
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
                    onClicked: row.restore.findDownloadForPath(row.path)
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
                    onTextEdited: row.restore.setManualURLForPath(row.path, text)
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
                    onClicked: row.restore.openDownload(row.link)
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
                onToggled: row.restore.setLoginItemSelected(row.label, checked)
            }
            Item {
                Layout.fillWidth: true
            }
            Badge {
                objectName: "loginBadge"
                theme: row.theme
                text: row.loginState === "alreadySet" ? "already set"
                    : row.loginState === "willAdd" ? "will add" : "install app first"
                textColor: row.loginState === "alreadySet" ? row.theme.secondary
                    : row.loginState === "willAdd" ? row.theme.blue : row.theme.orange
            }
        }
    }
}
