import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Haulwise

// The settings window's content: the Worker URL and token, stored as they are typed, a connection
// test, and copies of the values for the other Mac.
Pane {
    id: root

    // Whether the token shows in clear text; forgotten with the view.
    property bool revealToken: false

    implicitWidth: 460
    implicitHeight: 320
    padding: 16
    font.pixelSize: Theme.body

    Component.onCompleted: Theme.follow(root)
    Component.onDestruction: Theme.forget(root)

    SettingsController {
        id: controller
        objectName: "controller"
    }

    // Escape puts the settings away, as it does any small utility window; everything is already
    // stored.
    Shortcut {
        // The linter of Qt 6.4 cannot look up StandardKey, which QtQuick exports as a value type.
        sequences: [StandardKey.Cancel, StandardKey.Close] // qmllint disable unqualified
        onActivated: root.Window.window.hide()
    }

    ScrollView {
        id: scroll
        anchors.fill: parent
        contentWidth: availableWidth

        ColumnLayout {
            width: scroll.availableWidth
            spacing: 14

            FormSection {
                title: qsTr("Cloudflare sync")
                Layout.fillWidth: true

                RowLayout {
                    spacing: 8
                    Layout.fillWidth: true

                    TextLabel {
                        text: qsTr("Worker URL")
                        Layout.preferredWidth: 86
                    }
                    Field {
                        id: urlField
                        objectName: "workerURL"
                        text: AppSettings.workerURL
                        placeholderText: "https://haulwise-sync.your-subdomain.workers.dev"
                        selectByMouse: true
                        focus: true
                        inputMethodHints: Qt.ImhUrlCharactersOnly | Qt.ImhNoAutoUppercase
                        Layout.fillWidth: true
                        onTextEdited: AppSettings.workerURL = text
                        Keys.onReturnPressed: tokenField.forceActiveFocus()
                        Keys.onEnterPressed: tokenField.forceActiveFocus()
                    }
                    PushButton {
                        objectName: "copyURL"
                        text: qsTr("Copy")
                        enabled: AppSettings.workerURL.length > 0
                        onClicked: controller.copyWorkerURL()
                    }
                }

                RowLayout {
                    spacing: 8
                    Layout.fillWidth: true

                    TextLabel {
                        text: qsTr("Bearer token")
                        Layout.preferredWidth: 86
                    }
                    Field {
                        id: tokenField
                        objectName: "token"
                        text: AppSettings.token
                        placeholderText: "HAULWISE_TOKEN"
                        echoMode: root.revealToken ? TextInput.Normal : TextInput.Password
                        selectByMouse: true
                        inputMethodHints: Qt.ImhSensitiveData | Qt.ImhNoPredictiveText | Qt.ImhNoAutoUppercase
                        Layout.fillWidth: true
                        onTextEdited: AppSettings.token = text
                        Keys.onReturnPressed: {
                            if (testButton.enabled)
                                controller.testConnection()
                        }
                        Keys.onEnterPressed: {
                            if (testButton.enabled)
                                controller.testConnection()
                        }
                    }
                    ToolButton {
                        objectName: "reveal"
                        readonly property string symbol: root.revealToken ? "eye.slash" : "eye"
                        readonly property string hint: root.revealToken ? qsTr("Hide token") : qsTr("Show token")
                        icon.source: Symbols.url(symbol, palette.buttonText)
                        icon.width: 16
                        icon.height: 16
                        padding: 3
                        implicitWidth: 26
                        implicitHeight: 24
                        ToolTip.visible: hovered
                        ToolTip.delay: 600
                        ToolTip.text: hint
                        Accessible.name: hint
                        onClicked: root.revealToken = !root.revealToken
                    }
                    PushButton {
                        objectName: "copyToken"
                        text: qsTr("Copy")
                        enabled: AppSettings.token.length > 0
                        onClicked: controller.copyToken()
                    }
                }

                RowLayout {
                    spacing: 8
                    Layout.fillWidth: true

                    PushButton {
                        id: testButton
                        objectName: "test"
                        text: qsTr("Test connection")
                        enabled: AppSettings.isConfigured && !controller.testing
                        onClicked: controller.testConnection()
                    }
                    PushButton {
                        objectName: "copySetup"
                        text: qsTr("Copy setup for new Mac")
                        enabled: AppSettings.isConfigured
                        onClicked: controller.copySetup()
                    }
                    SmallSpinner {
                        objectName: "testing"
                        color: Theme.secondary
                        visible: controller.testing
                    }
                    Item {
                        Layout.fillWidth: true
                    }
                }

                TextLabel {
                    objectName: "copiedNote"
                    visible: controller.copiedNote.length > 0
                    text: controller.copiedNote
                    font.pixelSize: Theme.caption
                    color: Theme.green
                }

                TextLabel {
                    objectName: "testResult"
                    visible: controller.testResult.length > 0
                    text: controller.testResult
                    font.pixelSize: Theme.caption
                    color: controller.testPassed ? Theme.green : Theme.red
                    wrapMode: Text.Wrap
                    Layout.fillWidth: true
                }

                TextLabel {
                    objectName: "workerURLProblem"
                    visible: controller.workerURLProblem.length > 0
                    text: controller.workerURLProblem
                    font.pixelSize: Theme.caption
                    color: Theme.red
                    wrapMode: Text.Wrap
                    Layout.fillWidth: true
                }

                TextLabel {
                    objectName: "keychainError"
                    visible: AppSettings.keychainError.length > 0
                    text: AppSettings.keychainError
                    font.pixelSize: Theme.caption
                    color: Theme.red
                    wrapMode: Text.Wrap
                    Layout.fillWidth: true
                }
            }

            FormSection {
                Layout.fillWidth: true

                TextLabel {
                    text: qsTr("The token is stored in your Keychain and must match the HAULWISE_TOKEN secret on the Worker. Use the same URL and token on both Macs. To set up a second Mac, use Copy here and paste on the other Mac (Universal Clipboard works if both are on your Apple ID).")
                    font.pixelSize: Theme.caption
                    color: Theme.secondary
                    wrapMode: Text.Wrap
                    Layout.fillWidth: true
                }
            }
        }
    }
}
