import QtQuick
import QtQuick.Controls
import Haulwise

// A check box with its label, drawn from the palette so it reads on light and dark lists alike.
CheckBox {
    id: control


    leftPadding: 0
    spacing: 6

    indicator: Rectangle {
        implicitWidth: 15
        implicitHeight: 15
        x: control.leftPadding
        y: control.topPadding + (control.availableHeight - height) / 2
        radius: 4
        color: control.checked ? Theme.accent : Theme.palette.base
        border.width: control.checked && !control.visualFocus ? 0 : 1
        border.color: control.visualFocus ? Theme.accent
                                          : Qt.rgba(Theme.text.r, Theme.text.g,
                                                    Theme.text.b, 0.35)
        opacity: control.enabled ? (control.down ? 0.8 : 1) : 0.5

        SymbolImage {
            anchors.centerIn: parent
            visible: control.checked
            name: "checkmark"
            color: Theme.accentText
            size: 11
        }
    }

    contentItem: Text {
        textFormat: Text.PlainText
        leftPadding: control.indicator.width + control.spacing
        text: control.text
        font: control.font
        color: Theme.text
        opacity: control.enabled ? 1 : 0.5
        elide: Text.ElideRight
        verticalAlignment: Text.AlignVCenter
    }
}
