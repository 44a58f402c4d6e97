import QtQuick
import Haulwise

// A push button drawn from the palette: standard, or prominent (filled with the accent colour), with
// an optional symbol before its label in the label's colour. Made of plain items rather than a
// control style, so the panel, which is all buttons, opens without loading one.
Item {
    id: control

    property string text
    property string symbol
    property bool prominent: false
    property int symbolSize: 14
    property alias font: label.font
    property int padding: 4
    property int topPadding: padding
    property int bottomPadding: padding
    property int leftPadding: 12
    property int rightPadding: 12
    property int spacing: 6

    readonly property bool hovered: mouse.containsMouse
    readonly property bool down: (mouse.pressed && mouse.containsMouse) || keyHeld
    property bool keyHeld: false

    readonly property color ink: !enabled ? Theme.disabledPalette.buttonText
                                          : prominent ? Theme.accentText : Theme.palette.buttonText
    readonly property color fill: {
        const base = !enabled ? Theme.disabledPalette.button : prominent ? Theme.accent : Theme.palette.button
        if (down)
            return Qt.darker(base, 1.12)
        return hovered ? Qt.lighter(base, 1.03) : base
    }

    signal clicked

    implicitWidth: Math.max(32, content.implicitWidth + leftPadding + rightPadding)
    implicitHeight: Math.max(24, content.implicitHeight + topPadding + bottomPadding)
    activeFocusOnTab: enabled

    Accessible.role: Accessible.Button
    Accessible.name: text
    Accessible.onPressAction: clicked()

    Rectangle {
        anchors.fill: parent
        radius: 4
        border.width: 1
        border.color: control.activeFocus ? Theme.accent
                                          : Qt.darker(control.prominent && control.enabled ? Theme.accent
                                                                                           : Theme.background, 1.4)
        gradient: Gradient {
            GradientStop {
                position: 0
                color: Qt.lighter(control.fill, control.down ? 1.0 : 1.12)
            }
            GradientStop {
                position: 1
                color: control.fill
            }
        }
    }

    Row {
        id: content
        anchors.centerIn: parent
        spacing: control.spacing

        SymbolImage {
            visible: control.symbol.length > 0
            name: control.symbol
            color: control.ink
            size: control.symbolSize
            anchors.verticalCenter: parent.verticalCenter
        }
        Text {
            textFormat: Text.PlainText
            id: label
            visible: control.text.length > 0
            font.pixelSize: Theme.body
            text: control.text
            color: control.ink
            anchors.verticalCenter: parent.verticalCenter
        }
    }

    MouseArea {
        id: mouse
        anchors.fill: parent
        hoverEnabled: true
        enabled: control.enabled
        onClicked: control.clicked()
    }

    Keys.onSpacePressed: event => {
        if (!event.isAutoRepeat)
            keyHeld = true
    }
    Keys.onReleased: event => {
        if (event.key === Qt.Key_Space && !event.isAutoRepeat && keyHeld) {
            keyHeld = false
            clicked()
        }
    }
    Keys.onReturnPressed: clicked()
    Keys.onEnterPressed: clicked()
}
