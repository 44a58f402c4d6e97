import QtQuick
import QtQuick.Layouts
import Haulwise

// The panel that drops down from the status item: what the latest scan found, at a glance, and the
// buttons that scan, export, open the two windows and quit.
Rectangle {
    id: root

    required property InventoryModel model
    // The token takes a moment to come from the keychain. Until it has, nothing says the program
    // isn't set up: an export started meanwhile waits for the token.
    readonly property bool settingsKnown: AppSettings.isTokenLoaded
    readonly property bool configured: AppSettings.isConfigured || !settingsKnown
    required property PanelActions actions
    // A thin edge, for when the panel floats without a window frame.
    property bool framed: false

    width: 340
    implicitWidth: 340
    implicitHeight: content.implicitHeight + 28
    color: Theme.background
    border.width: framed ? 1 : 0
    border.color: Theme.separator

    ColumnLayout {
        id: content
        x: 14
        y: 14
        width: root.width - 28
        spacing: 12

        RowLayout {
            spacing: 8
            Layout.fillWidth: true

            SymbolImage {
                name: "arrow.left.arrow.right.circle.fill"
                color: Theme.blue
                size: Theme.symbolSize(Theme.title2)
            }
            ColumnLayout {
                spacing: 1
                Layout.fillWidth: true

                Text {
                    textFormat: Text.PlainText
                    color: Theme.text
                    text: "Haulwise"
                    font.pixelSize: Theme.headline
                    font.bold: true
                }
                // While the online pass runs, how far it has got stands in for the status.
                Text {
                    textFormat: Text.PlainText
                    objectName: "status"
                    text: root.model.progress.length > 0 ? root.model.progress : root.model.status
                    font.pixelSize: Theme.caption
                    color: Theme.secondary
                    elide: Text.ElideRight
                    Layout.fillWidth: true
                }
                // Which Mac the scan looked at, which need not be this one.
                Text {
                    textFormat: Text.PlainText
                    objectName: "hostname"
                    visible: root.model.hostname.length > 0
                    text: root.model.hostname
                    font.pixelSize: Theme.caption2
                    color: Theme.secondary
                    elide: Text.ElideRight
                    Layout.fillWidth: true
                }
            }
            ColumnLayout {
                objectName: "appCountBlock"
                visible: root.model.hasManifest
                spacing: 0

                Text {
                    textFormat: Text.PlainText
                    color: Theme.text
                    objectName: "appCount"
                    text: String(root.model.appCount)
                    font.pixelSize: Theme.title3
                    font.bold: true
                    Layout.alignment: Qt.AlignRight
                }
                Text {
                    textFormat: Text.PlainText
                    text: qsTr("apps", "beneath the count of applications", root.model.appCount)
                    font.pixelSize: Theme.caption2
                    color: Theme.secondary
                    Layout.alignment: Qt.AlignRight
                }
            }
            // Made only while something runs, so an idle panel opens without it. A Loader of Qt 6.4 makes
            // its item in a context of its own, so its component cannot be bound to this file (pragma
            // ComponentBehavior: Bound), and unbound, qmllint cannot see this file's ids from inside it.
            // qmllint disable unqualified
            Loader {
                objectName: "busy"
                active: root.model.isBusy
                visible: active
                sourceComponent: SmallSpinner {
                    color: Theme.secondary
                }
            }
            // qmllint enable unqualified
        }

        Divider {
        }

        // What the latest scan found; made once there is a manifest, so the panel opens quickly. Made by
        // a Loader, like the busy indicator, so qmllint cannot see this file's ids from inside it.
        // qmllint disable unqualified
        Loader {
            objectName: "summary"
            active: root.model.hasManifest
            visible: active
            Layout.fillWidth: true
            sourceComponent: ColumnLayout {
                spacing: 12

                ProportionBar {
                    objectName: "bar"
                    Layout.fillWidth: true
                    implicitHeight: 8
                    autoCount: root.model.autoCount
                    manualCount: root.model.manualCount
                    builtInCount: root.model.builtInCount
                    autoColor: Theme.blue
                    manualColor: Theme.orange
                    builtInColor: Qt.rgba(Theme.gray.r, Theme.gray.g, Theme.gray.b, 0.4)
                }

                RowLayout {
                    objectName: "legend"
                    spacing: 8
                    Layout.fillWidth: true

                    LegendTile {
                        objectName: "autoTile"
                        count: root.model.autoCount
                        label: qsTr("Auto-install")
                        tint: Theme.blue
                        Layout.fillWidth: true
                        Layout.preferredWidth: 1
                    }
                    LegendTile {
                        objectName: "manualTile"
                        count: root.model.manualCount
                        label: qsTr("Manual")
                        tint: Theme.orange
                        Layout.fillWidth: true
                        Layout.preferredWidth: 1
                    }
                    LegendTile {
                        objectName: "builtInTile"
                        count: root.model.builtInCount
                        label: qsTr("Built-in")
                        tint: Theme.gray
                        Layout.fillWidth: true
                        Layout.preferredWidth: 1
                    }
                }

                // Editor extensions, npm packages, crates, Python tools and fonts, counted in one line.
                Text {
                    textFormat: Text.PlainText
                    objectName: "also"
                    visible: root.model.alsoText.length > 0
                    text: root.model.alsoText
                    font.pixelSize: Theme.caption
                    color: Theme.secondary
                    wrapMode: Text.Wrap
                    Layout.fillWidth: true
                }

                ColumnLayout {
                    objectName: "needsYou"
                    visible: root.model.manualCount > 0
                    spacing: 6
                    Layout.fillWidth: true

                    Text {
                        textFormat: Text.PlainText
                        color: Theme.text
                        objectName: "needsYouTitle"
                        text: qsTr("Needs you — %1").arg(root.model.manualCount)
                        font.pixelSize: Theme.caption
                        font.bold: true
                    }
                    Text {
                        textFormat: Text.PlainText
                        objectName: "manualNames"
                        text: root.model.manualNames.join(", ")
                        font.pixelSize: Theme.caption2
                        color: Theme.secondary
                        wrapMode: Text.Wrap
                        maximumLineCount: 3
                        elide: Text.ElideRight
                        Layout.fillWidth: true
                    }
                }
            }
        }
        // qmllint enable unqualified

        Text {
            textFormat: Text.PlainText
            objectName: "placeholder"
            visible: !root.model.hasManifest
            text: qsTr("Scan this Mac to see what would migrate.")
            font.pixelSize: Theme.callout
            color: Theme.secondary
            wrapMode: Text.Wrap
            Layout.fillWidth: true
            Layout.topMargin: 6
            Layout.bottomMargin: 6
        }

        ColumnLayout {
            objectName: "unread"
            visible: root.model.unreadSections.length > 0
            spacing: 2
            Layout.fillWidth: true

            Text {
                textFormat: Text.PlainText
                objectName: "unreadText"
                text: qsTr("Not read — an empty list here is not known to be empty:") + "\n" + Array.from(root.model.unreadSections).join("\n")
                font.pixelSize: Theme.caption
                color: Theme.orange
                wrapMode: Text.Wrap
                Layout.fillWidth: true
            }
            LinkButton {
                objectName: "openPrivacySettings"
                visible: root.actions.canOpenPrivacySettings
                text: qsTr("Open System Settings…")
                font.pixelSize: Theme.caption
                color: Theme.blue
                onClicked: root.actions.openPrivacySettings()
            }
        }

        Text {
            textFormat: Text.PlainText
            objectName: "error"
            visible: root.model.errorMessage.length > 0
            text: root.model.errorMessage
            font.pixelSize: Theme.caption
            color: Theme.red
            wrapMode: Text.Wrap
            Layout.fillWidth: true
        }

        Divider {
        }

        ColumnLayout {
            spacing: 8
            Layout.fillWidth: true

            RowLayout {
                spacing: 8
                Layout.fillWidth: true

                PushButton {
                    objectName: "scan"
                    text: qsTr("Scan")
                    symbol: "magnifyingglass"
                    Layout.fillWidth: true
                    Layout.preferredWidth: 1
                    onClicked: root.model.startScan()
                }
                ProminentButton {
                    objectName: "export"
                    text: qsTr("Export")
                    symbol: "arrow.up.to.line"
                    enabled: root.model.hasManifest && root.configured && !root.model.isBusy
                    Layout.fillWidth: true
                    Layout.preferredWidth: 1
                    onClicked: root.model.startExport()
                }
            }

            Text {
                textFormat: Text.PlainText
                objectName: "configureHint"
                visible: root.settingsKnown && !AppSettings.isConfigured
                text: qsTr("Set your Worker URL & token in Settings to export.")
                font.pixelSize: Theme.caption2
                color: Theme.secondary
                wrapMode: Text.Wrap
                horizontalAlignment: Text.AlignHCenter
                Layout.fillWidth: true
            }

            PushButton {
                objectName: "restore"
                text: qsTr("Restore on a new Mac…")
                symbol: "square.and.arrow.down.on.square"
                Layout.fillWidth: true
                onClicked: root.actions.showRestore()
            }

            RowLayout {
                Layout.fillWidth: true

                LinkButton {
                    objectName: "settings"
                    text: qsTr("Settings…")
                    font.pixelSize: Theme.caption
                    color: Theme.blue
                    onClicked: root.actions.showSettings()
                }
                Item {
                    Layout.fillWidth: true
                }
                LinkButton {
                    objectName: "quit"
                    text: qsTr("Quit")
                    font.pixelSize: Theme.caption
                    color: Theme.blue
                    onClicked: root.actions.quit()
                }
            }
        }
    }
}
