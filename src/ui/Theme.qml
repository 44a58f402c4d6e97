pragma Singleton

import QtQuick

// The named colours and type sizes the views are drawn with, derived from the desktop's palette so
// that light and dark desktops both read right. Sizes are in points (device-independent pixels).
QtObject {
    id: theme

    readonly property SystemPalette palette: SystemPalette {
        colorGroup: SystemPalette.Active
        onPaletteChanged: theme.paintAll()
    }
    readonly property SystemPalette disabledPalette: SystemPalette {
        colorGroup: SystemPalette.Disabled
        onPaletteChanged: theme.paintAll()
    }

    // The controls inside these items (windows' contents, popups) take their colours from the
    // desktop's palette, light or dark, now and whenever it changes; the control style would otherwise
    // keep to its own fixed colours. An item that follows forgets itself when it goes.
    property var followers: []
    function follow(control) {
        followers.push(control)
        paint(control)
    }
    function forget(control) {
        followers = followers.filter(other => other !== control)
    }

    function paintAll() {
        for (const follower of followers)
            paint(follower)
    }

    function paint(target) {
        const roles = ["window", "windowText", "base", "alternateBase", "text", "button", "buttonText",
                       "highlight", "highlightedText", "light", "midlight", "mid", "dark", "shadow",
                       "placeholderText"]
        for (const role of roles) {
            if (palette[role] !== undefined) {
                target.palette[role] = palette[role]
                target.palette.disabled[role] = disabledPalette[role]
            }
        }
    }

    readonly property color text: palette.windowText
    readonly property color background: palette.window
    readonly property bool dark: background.hslLightness < 0.5

    readonly property color secondary: Qt.rgba(text.r, text.g, text.b, dark ? 0.55 : 0.5)
    readonly property color quaternaryFill: Qt.rgba(text.r, text.g, text.b, dark ? 0.16 : 0.1)
    readonly property color separator: Qt.rgba(text.r, text.g, text.b, dark ? 0.18 : 0.12)
    readonly property color accent: palette.highlight
    readonly property color accentText: palette.highlightedText

    readonly property color blue: dark ? "#0a84ff" : "#007aff"
    readonly property color green: dark ? "#32d74b" : "#1fa83a"
    readonly property color orange: dark ? "#ff9f0a" : "#f08c00"
    readonly property color red: dark ? "#ff453a" : "#e0362c"
    readonly property color gray: dark ? "#98989d" : "#8e8e93"

    readonly property int largeTitle: 26
    readonly property int title2: 17
    readonly property int title3: 15
    readonly property int headline: 13
    readonly property int body: 13
    readonly property int callout: 12
    readonly property int caption: 11
    readonly property int caption2: 10

    // How far the restore list's rows sit in from its edges.
    readonly property int rowInset: 20

    // The symbol that goes with a line of text of this size.
    function symbolSize(textSize) {
        return Math.round(textSize * 1.25)
    }
}
