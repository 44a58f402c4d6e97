pragma ComponentBehavior: Bound

import QtQuick

// An indeterminate progress indicator of the small control size: spokes that fade around a circle.
Item {
    id: spinner

    property color color: "gray"

    implicitWidth: 16
    implicitHeight: 16

    Item {
        id: spokes
        anchors.fill: parent

        Repeater {
            model: 8

            Rectangle {
                id: spoke
                required property int index
                x: (spokes.width - width) / 2
                y: 0
                width: Math.max(1.5, spokes.width / 9)
                height: spokes.height * 0.3
                radius: width / 2
                color: spinner.color
                opacity: 0.25 + 0.75 * (index / 7)
                transform: Rotation {
                    origin.x: spoke.width / 2
                    origin.y: spokes.height / 2
                    angle: spoke.index * 45
                }
            }
        }

        RotationAnimator on rotation {
            running: spinner.visible
            from: 0
            to: 360
            duration: 900
            loops: Animation.Infinite
        }
    }
}
