pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Qt.labs.qmlmodels
import Haulwise

// The restore window's content: what the manifest from the Worker holds, the choice of what to
// restore, and the four ways to hand the Brewfile on. Every decision is the restore model's.
Pane {
    id: root

    required property RestoreModel model

    // Once a manifest is loaded, a failed action shows in the bottom bar in place of the Homebrew line
    // until the next action starts.
    readonly property bool failed: model.hasManifest && model.errorMessage.length > 0

    implicitWidth: 560
    implicitHeight: 640
    padding: 0
    font.pixelSize: Theme.body

    Component.onCompleted: Theme.follow(root)
    Component.onDestruction: Theme.forget(root)

    VersionListModel {
        id: versions
        restore: root.model
    }

    RestoreListModel {
        id: rows
        objectName: "rows"
        restore: root.model
    }

    // The usual close shortcut puts the window away; what it holds stays for next time.
    Shortcut {
        // The linter of Qt 6.4 cannot look up StandardKey, which QtQuick exports as a value type.
        sequences: [StandardKey.Close] // qmllint disable unqualified
        enabled: !root.model.brewfile.hasPreview
        onActivated: root.Window.window.hide()
    }

    // Homebrew may have been installed meanwhile; look again whenever the user comes back.
    Connections {
        target: root.Window.window
        function onActiveChanged() {
            if (root.Window.window && root.Window.window.active)
                root.model.brewfile.refreshHomebrew()
        }
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        RowLayout {
            spacing: 8
            Layout.fillWidth: true
            Layout.margins: 14

            SymbolImage {
                name: "square.and.arrow.down.on.square"
                color: Theme.blue
                size: Theme.symbolSize(Theme.title2)
            }
            ColumnLayout {
                spacing: 1
                Layout.fillWidth: true

                TextLabel {
                    text: qsTr("Restore on this Mac")
                    font.pixelSize: Theme.headline
                    font.bold: true
                }
                TextLabel {
                    objectName: "status"
                    text: root.model.status
                    font.pixelSize: Theme.caption
                    color: Theme.secondary
                    // Room for which Mac a load came from and how old it is.
                    wrapMode: Text.Wrap
                    maximumLineCount: 2
                    elide: Text.ElideRight
                    Layout.fillWidth: true
                }
                TextLabel {
                    objectName: "unread"
                    visible: root.model.unreadSections.length > 0
                    text: qsTr("Not read on the old Mac:") + "\n" + Array.from(root.model.unreadSections).join("\n")
                    font.pixelSize: Theme.caption
                    color: Theme.orange
                    wrapMode: Text.Wrap
                    Layout.fillWidth: true
                }
            }
            SmallSpinner {
                objectName: "busy"
                color: Theme.secondary
                visible: root.model.isBusy
            }
            PushButton {
                objectName: "load"
                text: qsTr("Load from Cloud")
                symbol: "arrow.down.circle"
                onClicked: root.model.startLoad()
            }
            // The manifests the Worker keeps, by Mac, for loading an older one or another Mac's.
            PushButton {
                id: versionsButton
                objectName: "versions"
                visible: versions.count > 0
                text: "▾"
                implicitWidth: 28
                Accessible.name: qsTr("Stored versions")
                ToolTip.visible: hovered
                ToolTip.text: qsTr("Stored versions")
                ToolTip.delay: 600
                onClicked: {
                    root.model.refreshVersions()
                    versionsMenu.popup(versionsButton, 0, versionsButton.height)
                }

                Menu {
                    id: versionsMenu
                    objectName: "versionsMenu"
                    // Wide enough for a host name, a date and a count on one line.
                    width: 340

                    Instantiator {
                        model: versions
                        delegate: MenuItem {
                            id: versionItem
                            required property string versionId
                            required property string mac
                            required property string label
                            required property bool firstOfMac
                            objectName: "version:" + versionId
                            text: (firstOfMac ? mac + " — " : "    ") + label
                            // The host name is the Worker's to say; drawn as plain text like every label.
                            contentItem: TextLabel {
                                leftPadding: 8
                                text: versionItem.text
                                elide: Text.ElideRight
                                verticalAlignment: Text.AlignVCenter
                            }
                            onTriggered: root.model.startLoadVersion(versionId)
                        }
                        onObjectAdded: (index, object) => versionsMenu.insertItem(index, object)
                        onObjectRemoved: (index, object) => versionsMenu.removeItem(object)
                    }
                }
            }
        }

        Divider {
        }

        ColumnLayout {
            objectName: "emptyState"
            visible: !root.model.hasManifest
            spacing: 8
            Layout.fillWidth: true
            Layout.fillHeight: true

            Item {
                Layout.fillHeight: true
            }
            SymbolImage {
                name: "cloud"
                color: Theme.secondary
                size: Theme.symbolSize(Theme.largeTitle)
                Layout.alignment: Qt.AlignHCenter
            }
            TextLabel {
                text: qsTr("Load your manifest from the Cloud to see what to install.")
                color: Theme.secondary
                horizontalAlignment: Text.AlignHCenter
                wrapMode: Text.Wrap
                Layout.fillWidth: true
                Layout.leftMargin: 20
                Layout.rightMargin: 20
            }
            TextLabel {
                objectName: "error"
                visible: root.model.errorMessage.length > 0
                text: root.model.errorMessage
                font.pixelSize: Theme.caption
                color: Theme.red
                horizontalAlignment: Text.AlignHCenter
                wrapMode: Text.Wrap
                Layout.fillWidth: true
                Layout.topMargin: 4
                Layout.leftMargin: 20
                Layout.rightMargin: 20
            }
            Item {
                Layout.fillHeight: true
            }
        }

        RowLayout {
            objectName: "summary"
            visible: root.model.hasManifest
            spacing: 16
            Layout.fillWidth: true
            Layout.leftMargin: 14
            Layout.rightMargin: 14
            Layout.topMargin: 10
            Layout.bottomMargin: 10

            CountBlock {
                objectName: "willInstall"
                count: rows.willInstallCount
                label: qsTr("will install")
                tint: Theme.blue
            }
            CountBlock {
                objectName: "alreadyHere"
                count: rows.alreadyInstalledCount
                label: qsTr("already here")
                tint: Theme.secondary
            }
            CountBlock {
                objectName: "manual"
                count: rows.manualCount
                label: qsTr("manual")
                tint: Theme.orange
            }
            Item {
                Layout.fillWidth: true
            }
        }

        Divider {
            visible: root.model.hasManifest
        }

        ListView {
            id: list
            objectName: "list"
            visible: root.model.hasManifest
            Layout.fillWidth: true
            Layout.fillHeight: true
            clip: true
            model: rows
            boundsBehavior: Flickable.StopAtBounds
            reuseItems: true
            cacheBuffer: 400
            ScrollBar.vertical: ScrollBar {}

            Rectangle {
                z: -1
                parent: list
                anchors.fill: parent
                color: root.palette.base
            }

            // One small view per kind of row; each takes only the roles it shows.
            delegate: DelegateChooser {
                role: "kind"

                DelegateChoice {
                    roleValue: RestoreListModel.Kind.Header
                    RestoreHeaderRow {
                        width: list.width
                        restore: root.model
                    }
                }
                DelegateChoice {
                    roleValue: RestoreListModel.Kind.App
                    RestoreAppRow {
                        width: list.width
                        restore: root.model
                    }
                }
                DelegateChoice {
                    roleValue: RestoreListModel.Kind.Manual
                    RestoreManualRow {
                        width: list.width
                        restore: root.model
                    }
                }
                DelegateChoice {
                    roleValue: RestoreListModel.Kind.Package
                    RestorePackageRow {
                        width: list.width
                        restore: root.model
                    }
                }
                DelegateChoice {
                    roleValue: RestoreListModel.Kind.Login
                    RestoreLoginRow {
                        width: list.width
                        restore: root.model
                    }
                }
                DelegateChoice {
                    roleValue: RestoreListModel.Kind.Skipped
                    RestoreSkippedRow {
                        width: list.width
                    }
                }
                DelegateChoice {
                    roleValue: RestoreListModel.Kind.ByHand
                    RestoreByHandRow {
                        width: list.width
                    }
                }
                DelegateChoice {
                    roleValue: RestoreListModel.Kind.Footer
                    RestoreFooterRow {
                        width: list.width
                    }
                }
            }
        }

        Divider {
            visible: root.model.hasManifest
        }

        ColumnLayout {
            objectName: "bottomBar"
            visible: root.model.hasManifest
            spacing: 8
            Layout.fillWidth: true
            Layout.margins: 14

            RowLayout {
                spacing: 6
                Layout.fillWidth: true

                SymbolImage {
                    objectName: "homebrewSymbol"
                    name: root.failed ? "exclamationmark.triangle.fill"
                        : root.model.brewfile.homebrewInstalled ? "checkmark.circle.fill" : "arrow.down.circle"
                    color: root.failed ? Theme.red : root.model.brewfile.homebrewInstalled ? Theme.green : Theme.blue
                    size: Theme.symbolSize(Theme.caption)
                }
                TextLabel {
                    objectName: "homebrewLine"
                    text: root.failed ? root.model.errorMessage
                        : root.model.brewfile.homebrewInstalled ? qsTr("Homebrew is installed — apps install directly.")
                        : qsTr("Homebrew isn't installed — it'll be set up first (one password prompt).")
                    font.pixelSize: Theme.caption
                    color: root.failed ? Theme.red : Theme.secondary
                    wrapMode: root.failed ? Text.Wrap : Text.NoWrap
                    maximumLineCount: 3
                    elide: Text.ElideRight
                    Layout.fillWidth: true
                }
            }
            RowLayout {
                spacing: 8
                Layout.fillWidth: true

                PushButton {
                    objectName: "copy"
                    text: qsTr("Copy")
                    onClicked: root.model.brewfile.copy()
                }
                PushButton {
                    objectName: "save"
                    text: qsTr("Save Brewfile…")
                    onClicked: root.model.brewfile.save()
                }
                Item {
                    Layout.fillWidth: true
                }
                PushButton {
                    objectName: "preview"
                    text: qsTr("Preview")
                    onClicked: root.model.brewfile.preview()
                }
                ProminentButton {
                    objectName: "install"
                    text: qsTr("Install in Terminal")
                    symbol: "terminal"
                    onClicked: root.model.brewfile.installInTerminal()
                }
            }
        }
    }

    PreviewSheet {
        brewfile: root.model.brewfile
    }
}
