pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Haulwise

// What Homebrew would install, over the restore window. The hand-off's preview text is the only
// state: the sheet shows while there is one, and closing the sheet any way clears it.
Popup {
    id: sheet

    required property BrewfileHandoff brewfile

    objectName: "previewSheet"
    parent: Overlay.overlay
    modal: true
    focus: true
    visible: brewfile.hasPreview
    closePolicy: Popup.CloseOnEscape
    width: Math.min(520, parent ? parent.width - 20 : 520)
    height: Math.min(380, parent ? parent.height - 20 : 380)
    x: parent ? Math.round((parent.width - width) / 2) : 0
    y: 0
    padding: 16
    // Its own colours: a popup takes the window's, not the view's.
    Component.onCompleted: Theme.follow(sheet)
    Component.onDestruction: Theme.forget(sheet)

    Overlay.modal: Rectangle {
        color: Qt.rgba(0, 0, 0, Theme.dark ? 0.35 : 0.18)
    }

    onClosed: {
        if (brewfile.hasPreview)
            brewfile.closePreview()
    }

    contentItem: FocusScope {
        focus: true
        Keys.onReturnPressed: sheet.brewfile.closePreview()
        Keys.onEnterPressed: sheet.brewfile.closePreview()

        ColumnLayout {
            anchors.fill: parent
            spacing: 10

            RowLayout {
                spacing: 6
                Layout.fillWidth: true

                SymbolImage {
                    name: "eye"
                    color: sheet.palette.windowText
                    size: Theme.symbolSize(Theme.headline)
                }
                TextLabel {
                    text: qsTr("Preview — nothing is installed")
                    font.pixelSize: Theme.headline
                    font.bold: true
                }
                Item {
                    Layout.fillWidth: true
                }
                SmallSpinner {
                    objectName: "previewBusy"
                    color: Theme.secondary
                    visible: sheet.brewfile.isChecking
                }
            }

            ScrollView {
                objectName: "previewScroll"
                Layout.fillWidth: true
                Layout.fillHeight: true
                Layout.minimumHeight: 240
                ScrollBar.vertical.policy: ScrollBar.AlwaysOn
                background: Rectangle {
                    radius: 6
                    color: Qt.rgba(Theme.quaternaryFill.r, Theme.quaternaryFill.g,
                                   Theme.quaternaryFill.b, Theme.quaternaryFill.a * 0.3)
                }

                TextArea {
                    objectName: "previewText"
                    text: sheet.brewfile.previewText
                    readOnly: true
                    selectByMouse: true
                    wrapMode: TextEdit.Wrap
                    textFormat: TextEdit.PlainText
                    font.family: "monospace"
                    font.pixelSize: Theme.callout
                    background: null
                    padding: 8
                    // Return belongs to the sheet's default button, even while the text has focus.
                    Keys.onReturnPressed: sheet.brewfile.closePreview()
                    Keys.onEnterPressed: sheet.brewfile.closePreview()
                }
            }

            RowLayout {
                Layout.fillWidth: true

                Item {
                    Layout.fillWidth: true
                }
                ProminentButton {
                    objectName: "closePreview"
                    text: qsTr("Close")
                    focus: true
                    onClicked: sheet.brewfile.closePreview()
                }
            }
        }
    }
}
