import QtQuick
import QtQuick.Layouts

// A card field of the card-entry screen with its caption. The field's text is the screen's: the
// drawing reads and writes it, and the QML never does. The field takes digits from an on-screen
// keyboard that neither learns nor predicts them, lets nothing be selected, copied or cut, and
// offers no menu; pasting goes through the screen's rules like typing.
ColumnLayout {
    id: field

    property alias input: input
    /// {text, font, color}, as the drawing gives it.
    property var caption
    property color focusColor
    property string placeholder
    /// Why the content is not valid, once left: the field is marked, and assistive technologies
    /// read it as its description (the screen writes it under the field).
    property string problem
    property color problemColor

    signal returnPressed
    /// The field took the keyboard: the screen shows it whole.
    signal focused
    /// The field gave the keyboard up.
    signal gaveUp

    spacing: 6

    // Copying, cutting and selecting (from which the X11 selection copies) are refused; undoing
    // would bring back a text the screen replaced.
    function refuses(event) {
        const selecting = [Qt.Key_Left, Qt.Key_Right, Qt.Key_Up, Qt.Key_Down, Qt.Key_Home,
                           Qt.Key_End, Qt.Key_PageUp, Qt.Key_PageDown];
        return event.matches(StandardKey.Copy) || event.matches(StandardKey.Cut)
                || event.matches(StandardKey.SelectAll) || event.matches(StandardKey.Undo)
                || event.matches(StandardKey.Redo)
                || ((event.modifiers & Qt.ShiftModifier) && selecting.includes(event.key));
    }

    Text {
        id: captionText
        objectName: field.objectName + "Caption"
        Layout.fillWidth: true
        text: field.caption ? field.caption.text : ""
        font: field.caption ? field.caption.font : Qt.application.font
        color: field.caption ? field.caption.color : "black"
        wrapMode: Text.WrapAtWordBoundaryOrAnywhere
        visible: text.length > 0
    }

    Rectangle {
        Layout.fillWidth: true
        implicitHeight: Math.max(48, input.implicitHeight + 20)
        radius: 8
        color: input.enabled ? "#ffffff" : "#f1f5f9"
        border.width: input.activeFocus ? 3 : field.problem.length > 0 ? 2 : 1
        border.color: input.activeFocus ? field.focusColor
                                        : field.problem.length > 0 ? field.problemColor : "#64748b"

        TextInput {
            id: input
            objectName: field.objectName + "Input"
            anchors.fill: parent
            anchors.leftMargin: 12
            anchors.rightMargin: 12
            verticalAlignment: TextInput.AlignVCenter
            font.pixelSize: 20
            color: enabled ? "#111827" : "#475569"
            clip: true
            activeFocusOnTab: true
            selectByMouse: false
            persistentSelection: false
            /// Read by assistive technologies as drawn, disabled included (AccessibleField).
            readonly property bool readsAsDrawn: true
            inputMethodHints: Qt.ImhDigitsOnly | Qt.ImhSensitiveData | Qt.ImhNoPredictiveText
                              | Qt.ImhNoAutoUppercase | Qt.ImhNoEditMenu | Qt.ImhNoTextHandles
            Accessible.name: captionText.text
            Accessible.description: field.problem

            onActiveFocusChanged: {
                if (activeFocus) {
                    field.focused();
                } else {
                    field.gaveUp();
                }
            }
            Keys.onPressed: (event) => { event.accepted = field.refuses(event); }
            Keys.onReturnPressed: field.returnPressed()
            Keys.onEnterPressed: field.returnPressed()
        }

        Text {
            anchors.fill: input
            verticalAlignment: Text.AlignVCenter
            text: field.placeholder
            font: input.font
            color: "#6b7280"
            elide: Text.ElideRight
            visible: input.length === 0 && input.enabled
        }
    }
}
