import QtQuick
import QtQuick.Controls.Basic

// A button of the card-entry screen's top bar: a touch-sized target whose title wraps rather
// than being cut, in colours the screen has made readable on its background, with a frame that
// shows where the keyboard's focus is. Return and Enter press it, as Space does.
Button {
    id: button

    property color color
    property color disabledColor
    property color focusColor
    property bool prominent: false
    /// Read by assistive technologies as drawn, disabled included (AccessibleButton).
    readonly property bool readsAsDrawn: true

    padding: 12
    implicitWidth: Math.max(48, implicitContentWidth + leftPadding + rightPadding)
    implicitHeight: Math.max(48, implicitContentHeight + topPadding + bottomPadding)
    font.pixelSize: Math.max(16, Qt.application.font.pixelSize)
    font.weight: prominent ? Font.DemiBold : Font.Normal
    focusPolicy: Qt.StrongFocus
    Accessible.name: text

    Keys.onReturnPressed: clicked()
    Keys.onEnterPressed: clicked()

    contentItem: Text {
        objectName: button.objectName + "Title"
        text: button.text
        font: button.font
        color: button.enabled ? button.color : button.disabledColor
        wrapMode: Text.WrapAtWordBoundaryOrAnywhere
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
    }

    background: Rectangle {
        implicitWidth: 48
        implicitHeight: 48
        radius: 8
        color: button.down ? Qt.rgba(button.color.r, button.color.g, button.color.b, 0.12)
                           : "transparent"
        border.width: button.activeFocus ? 3 : 0
        border.color: button.focusColor
    }
}
