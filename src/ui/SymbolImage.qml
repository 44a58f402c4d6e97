import QtQuick
import Haulwise

// A symbol by its name, in one colour.
Image {
    id: symbol

    property string name
    property color color: "black"
    property int size: 16

    width: size
    height: size
    sourceSize.width: Math.round(size * Screen.devicePixelRatio)
    sourceSize.height: Math.round(size * Screen.devicePixelRatio)
    source: name.length > 0 ? Symbols.url(name, color) : ""
    fillMode: Image.PreserveAspectFit
    smooth: true
}
