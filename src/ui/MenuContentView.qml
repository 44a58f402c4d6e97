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
    color: design.background
    border.width: framed ? 1 : 0
    border.color: design.separator

    Theme {
        id: design
    }

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
                color: design.blue
                size: design.symbolSize(design.title2)
            }
            ColumnLayout {
                spacing: 1
                Layout.fillWidth: true

                Text {
                    textFormat: Text.PlainText
                    color: design.text
                    text: "Haulwise"
                    font.pixelSize: design.headline
                    font.bold: true
                }
                // While the online pass runs, how far it has got stands in for the status.
                Text {
                    textFormat: Text.PlainText
                    objectName: "status"
                    text: root.model.progress.length > 0 ? root.model.progress : root.model.status
                    font.pixelSize: design.caption
                    color: design.secondary
                    elide: Text.ElideRight
                    Layout.fillWidth: true
                }
                // Which Mac the scan looked at, which need not be this one.
                Text {
                    textFormat: Text.PlainText
                    objectName: "hostname"
                    visible: root.model.hostname.length > 0
                    text: root.model.hostname
                    font.pixelSize: design.caption2
                    color: design.secondary
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
                    color: design.text
                    objectName: "appCount"
                    text: String(root.model.appCount)
                    font.pixelSize: design.title3
                    font.bold: true
                    Layout.alignment: Qt.AlignRight
                }
                Text {
                    textFormat: Text.PlainText
                    text: "apps"
                    font.pixelSize: design.caption2
                    color: design.secondary
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
                    color: design.secondary
                }
            }
            // qmllint enable unqualified
        }

        Divider {
            theme: design
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
                    autoColor: design.blue
                    manualColor: design.orange
                    builtInColor: Qt.rgba(design.gray.r, design.gray.g, design.gray.b, 0.4)
                }

                RowLayout {
                    objectName: "legend"
                    spacing: 8
                    Layout.fillWidth: true

                    LegendTile {
                        objectName: "autoTile"
                        theme: design
                        count: root.model.autoCount
                        label: "Auto-install"
                        tint: design.blue
                        Layout.fillWidth: true
                        Layout.preferredWidth: 1
                    }
                    LegendTile {
                        objectName: "manualTile"
                        theme: design
                        count: root.model.manualCount
                        label: "Manual"
                        tint: design.orange
                        Layout.fillWidth: true
                        Layout.preferredWidth: 1
                    }
                    LegendTile {
                        objectName: "builtInTile"
                        theme: design
                        count: root.model.builtInCount
                        label: "Built-in"
                        tint: design.gray
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
                    font.pixelSize: design.caption
                    color: design.secondary
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
                        color: design.text
                        objectName: "needsYouTitle"
                        text: "Needs you — " + root.model.manualCount
                        font.pixelSize: design.caption
                        font.bold: true
                    }
                    Text {
                        textFormat: Text.PlainText
                        objectName: "manualNames"
                        text: root.model.manualNames.join(", ")
                        font.pixelSize: design.caption2
                        color: design.secondary
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
            text: "Scan this Mac to see what would migrate."
            font.pixelSize: design.callout
            color: design.secondary
            wrapMode: Text.Wrap
            Layout.fillWidth: true
            Layout.topMargin: 6
            Layout.bottomMargin: 6
        }

        Text {
            textFormat: Text.PlainText
            objectName: "error"
            visible: root.model.errorMessage.length > 0
            text: root.model.errorMessage
            font.pixelSize: design.caption
            color: design.red
            wrapMode: Text.Wrap
            Layout.fillWidth: true
        }

        Divider {
            theme: design
        }

        ColumnLayout {
            spacing: 8
            Layout.fillWidth: true

            RowLayout {
                spacing: 8
                Layout.fillWidth: true

                PushButton {
                    objectName: "scan"
                    theme: design
                    text: "Scan"
                    symbol: "magnifyingglass"
                    Layout.fillWidth: true
                    Layout.preferredWidth: 1
                    onClicked: root.model.startScan()
                }
                ProminentButton {
                    objectName: "export"
                    theme: design
                    text: "Export"
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
                text: "Set your Worker URL & token in Settings to export."
                font.pixelSize: design.caption2
                color: design.secondary
                wrapMode: Text.Wrap
                horizontalAlignment: Text.AlignHCenter
                Layout.fillWidth: true
            }

            PushButton {
                objectName: "restore"
                theme: design
                text: "Restore on a new Mac…"
                symbol: "square.and.arrow.down.on.square"
                Layout.fillWidth: true
                onClicked: root.actions.showRestore()
            }

            RowLayout {
                Layout.fillWidth: true

                LinkButton {
                    objectName: "settings"
                    text: "Settings…"
                    font.pixelSize: design.caption
                    color: design.blue
                    onClicked: root.actions.showSettings()
                }
                Item {
                    Layout.fillWidth: true
                }
                LinkButton {
                    objectName: "quit"
                    text: "Quit"
                    font.pixelSize: design.caption
                    color: design.blue
                    onClicked: root.actions.quit()
                }
            }
        }
    }
}
