import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Vanto

// The card-entry screen of a direct payment: the DirectPaymentViewController set in `screen`
// (a ScreenHandle), drawn from its view model. A top bar with cancel and continue, the logo, the
// information text and the three card fields with their captions, over the background; the
// screen's logic decides every keystroke, every enabled state and the one report to its delegate.
//
// Nothing the merchant sets is cut: captions and button titles wrap, the bar's buttons and the
// expiry and code go one above the other where a longest word would not fit beside the other,
// and everything but the background scrolls when it is taller than the screen, the bar too once
// it would take more than a third of the screen's height. Return on the security code pays when
// continue is enabled, and Escape takes the screen's way out (as a window closed by hand: cancel,
// but not while the payment is on its way).
FocusScope {
    id: root

    /// The DirectPaymentViewController to draw, in a ScreenHandle.
    property QtObject screen
    /// The screen has closed itself: its payment has ended, and it shows nothing any more.
    readonly property bool closed: drawing.closed
    /// The smallest size at which the screen shows everything, scrolling its form.
    readonly property size minimumSize: Qt.size(320, 480)

    implicitWidth: 420
    implicitHeight: 680

    Keys.onEscapePressed: drawing.requestClose()

    // The keyboard starts on the card number, or on continue where a stored card leaves nothing
    // to type.
    function focusFirstUseful() {
        if (drawing.attached) {
            (drawing.numberEnabled ? number.input : continueButton).focus = true;
        }
    }
    Component.onCompleted: focusFirstUseful()

    // How wide the widest word of `text` is in the font `metrics` measures.
    function widestWord(metrics, text) {
        return (text || "").split(/\s+/).reduce(
                    (widest, word) => Math.max(widest, metrics.advanceWidth(word)), 0);
    }
    Connections {
        target: drawing
        function onAttachedChanged() { root.focusFirstUseful(); }
    }

    // Why a field's content is not valid, written under it once the cardholder left it.
    component ProblemText: Text {
        Layout.fillWidth: true
        color: drawing.problemColor
        font.pixelSize: Math.max(14, Qt.application.font.pixelSize)
        wrapMode: Text.WrapAtWordBoundaryOrAnywhere
        visible: text.length > 0
    }

    CardEntryDrawing {
        id: drawing
        objectName: "drawing"
        anchors.fill: parent
        screen: root.screen
        numberInput: number.input
        expiryInput: expiry.input
        securityCodeInput: securityCode.input
    }

    Rectangle {
        anchors.fill: parent
        color: drawing.backgroundColor
    }

    Image {
        anchors.fill: parent
        source: drawing.backgroundImage
        fillMode: Image.PreserveAspectCrop
        visible: status === Image.Ready
    }

    // A tap outside the controls ends editing.
    MouseArea {
        anchors.fill: parent
        onClicked: drawing.tapOutside()
    }

    ColumnLayout {
        id: elements
        anchors.fill: parent
        spacing: 0
        visible: drawing.attached && !drawing.closed
        opacity: drawing.fadeOpacity

        Behavior on opacity {
            NumberAnimation { duration: drawing.fadeMilliseconds }
        }

        Item {
            Layout.preferredHeight: drawing.topSpacing
        }

        // The bar's place while it stays above the form.
        Item {
            id: pinnedPlace
            Layout.fillWidth: true
            Layout.preferredHeight: barBlock.pinned ? barBlock.implicitHeight : 0
        }

        Flickable {
            id: scroller
            objectName: "scroller"
            Layout.fillWidth: true
            Layout.fillHeight: true
            contentWidth: width
            contentHeight: page.implicitHeight
            clip: true
            boundsBehavior: Flickable.StopAtBounds
            interactive: contentHeight > height

            // Scrolls so that `item` (a control taking the keyboard) shows whole, where it is one
            // of those that scroll.
            function reveal(item) {
                let scrolled = item;
                while (scrolled && scrolled !== page) {
                    scrolled = scrolled.parent;
                }
                if (!scrolled) {
                    return;
                }
                const top = item.mapToItem(page, 0, 0).y;
                const bottom = top + item.height;
                if (top < contentY) {
                    contentY = Math.max(0, top - 8);
                } else if (bottom > contentY + height) {
                    contentY = Math.min(contentHeight - height, bottom - height + 8);
                }
            }

            ScrollBar.vertical: ScrollBar {
                policy: scroller.interactive ? ScrollBar.AsNeeded : ScrollBar.AlwaysOff
            }

            ColumnLayout {
                id: page
                width: scroller.width
                spacing: 0

                // The bar's place while it scrolls with the form.
                Item {
                    id: scrolledPlace
                    Layout.fillWidth: true
                    Layout.preferredHeight: barBlock.pinned ? 0 : barBlock.implicitHeight
                }

                ColumnLayout {
                    id: form
                    Layout.fillWidth: true
                    Layout.leftMargin: 24
                    Layout.rightMargin: 24
                    Layout.topMargin: 16
                    Layout.bottomMargin: 24
                    spacing: 14

                    Image {
                        objectName: "logo"
                        Layout.fillWidth: true
                        Layout.preferredHeight: 84
                        source: drawing.logo
                        sourceSize.height: 168
                        fillMode: Image.PreserveAspectFit
                        Accessible.role: Accessible.Graphic
                        Accessible.name: drawing.texts.logo
                    }

                    Text {
                        objectName: "info"
                        Layout.fillWidth: true
                        text: drawing.infoCaption.text
                        font: drawing.infoCaption.font
                        color: drawing.infoCaption.color
                        wrapMode: Text.WrapAtWordBoundaryOrAnywhere
                        horizontalAlignment: Text.AlignHCenter
                        visible: text.length > 0
                    }

                    CardInput {
                        id: number
                        objectName: "number"
                        onFocused: scroller.reveal(number)
                        Layout.fillWidth: true
                        caption: drawing.numberCaption
                        problem: drawing.numberProblem
                        problemColor: drawing.problemColor
                        onGaveUp: drawing.leave(number.input)
                        focusColor: drawing.focusColor
                        placeholder: "0000 0000 0000 0000"
                        input.enabled: drawing.numberEnabled
                        input.focus: true
                        input.KeyNavigation.tab: expiry.input
                        onReturnPressed: expiry.input.forceActiveFocus(Qt.TabFocusReason)
                    }
                    // The problems under the fields: the expiry's and the code's under their
                    // row, so that a message never moves one field of the row off the other's
                    // level.
                    ProblemText {
                        objectName: "numberProblem"
                        text: drawing.numberProblem
                    }

                    // Side by side where each caption's longest word fits its column, one above the
                    // other where one does not.
                    GridLayout {
                        readonly property real across: root.width - 2 * 24 - columnSpacing
                        readonly property bool sideBySide:
                            root.widestWord(expiryMetrics, drawing.expiryCaption.text)
                                <= across * 3 / 5
                            && root.widestWord(codeMetrics, drawing.securityCodeCaption.text)
                                <= across * 2 / 5

                        Layout.fillWidth: true
                        columns: sideBySide ? 2 : 1
                        columnSpacing: 16
                        rowSpacing: 14

                        FontMetrics {
                            id: expiryMetrics
                            font: drawing.expiryCaption.font
                        }
                        FontMetrics {
                            id: codeMetrics
                            font: drawing.securityCodeCaption.font
                        }

                        CardInput {
                            id: expiry
                            objectName: "expiry"
                            onFocused: scroller.reveal(expiry)
                            Layout.fillWidth: true
                            Layout.preferredWidth: 3
                            Layout.alignment: Qt.AlignBottom
                            caption: drawing.expiryCaption
                            problem: drawing.expiryProblem
                            problemColor: drawing.problemColor
                            onGaveUp: drawing.leave(expiry.input)
                            focusColor: drawing.focusColor
                            placeholder: drawing.texts.expiryPlaceholder
                            input.enabled: drawing.expiryEnabled
                            input.KeyNavigation.tab: securityCode.input
                            onReturnPressed: securityCode.input.forceActiveFocus(Qt.TabFocusReason)
                        }
                        CardInput {
                            id: securityCode
                            objectName: "securityCode"
                            onFocused: scroller.reveal(securityCode)
                            Layout.fillWidth: true
                            Layout.preferredWidth: 2
                            Layout.alignment: Qt.AlignBottom
                            caption: drawing.securityCodeCaption
                            problem: drawing.securityCodeProblem
                            problemColor: drawing.problemColor
                            onGaveUp: drawing.leave(securityCode.input)
                            focusColor: drawing.focusColor
                            placeholder: "123"
                            input.enabled: drawing.securityCodeEnabled
                            input.echoMode: drawing.securityCodeMasked ? TextInput.Password
                                                                       : TextInput.Normal
                            input.KeyNavigation.tab: continueButton
                            onReturnPressed: drawing.pressContinue()
                        }
                    }

                    ProblemText {
                        objectName: "expiryProblem"
                        text: drawing.expiryProblem
                    }
                    ProblemText {
                        objectName: "securityCodeProblem"
                        text: drawing.securityCodeProblem
                    }

                    // Below the fields and their problems, never over them; it goes with the
                    // screen.
                    BusyIndicator {
                        id: busy
                        objectName: "busyIndicator"
                        Layout.alignment: Qt.AlignHCenter
                        running: drawing.busy && drawing.attached && !drawing.closed
                        visible: running
                        Accessible.name: drawing.texts.busy
                        onRunningChanged: {
                            if (running) {
                                Qt.callLater(scroller.reveal, busy);
                            }
                        }
                    }
                }
            }
        }
    }

    // The bar and its rule: above the form while the bar takes no more than a third of the
    // screen's height, scrolling with it where long titles in a large font make it taller.
    ColumnLayout {
        id: barBlock

        readonly property bool pinned: implicitHeight <= root.height / 3

        parent: pinned ? pinnedPlace : scrolledPlace
        anchors.fill: parent
        spacing: 0

        // Placed by hand, not by a row layout: a title that wraps makes its button taller once
        // the button has its width, which a layout caught in the middle of arranging ignores. The
        // buttons stand one above the other where a title's longest word would not fit half the
        // bar.
        Item {
            id: bar

            readonly property real fullWidth: root.width - 2 * 8
            // The most each button may take side by side: half the bar, less the gap between
            // them. A title longer than that wraps, and the bar grows in height.
            readonly property real buttonWidth: Math.max(48, (fullWidth - 8) / 2)
            readonly property bool stacked:
                root.widestWord(cancelMetrics, cancelButton.text) + 2 * cancelButton.padding
                    > buttonWidth
                || root.widestWord(continueMetrics, continueButton.text)
                    + 2 * continueButton.padding > buttonWidth

            Layout.fillWidth: true
            Layout.margins: 8
            implicitHeight: stacked
                            ? cancelButton.implicitHeight + 8 + continueButton.implicitHeight
                            : Math.max(cancelButton.implicitHeight, continueButton.implicitHeight)

            FontMetrics {
                id: cancelMetrics
                font: cancelButton.font
            }
            FontMetrics {
                id: continueMetrics
                font: continueButton.font
            }

            BarButton {
                id: cancelButton
                objectName: "cancelButton"
                width: bar.stacked ? bar.fullWidth : Math.min(implicitWidth, bar.buttonWidth)
                y: bar.stacked ? 0 : (bar.height - height) / 2
                text: drawing.cancelTitle
                enabled: drawing.cancelEnabled
                color: drawing.barColor
                disabledColor: drawing.barDisabledColor
                focusColor: drawing.focusColor
                KeyNavigation.tab: number.input
                onActiveFocusChanged: if (activeFocus) scroller.reveal(cancelButton)
                onClicked: drawing.pressCancel()
            }
            BarButton {
                id: continueButton
                objectName: "continueButton"
                width: bar.stacked ? bar.fullWidth : Math.min(implicitWidth, bar.buttonWidth)
                x: bar.fullWidth - width
                y: bar.stacked ? cancelButton.height + 8 : (bar.height - height) / 2
                prominent: true
                text: drawing.continueTitle
                enabled: drawing.continueEnabled
                color: drawing.barColor
                disabledColor: drawing.barDisabledColor
                focusColor: drawing.focusColor
                KeyNavigation.tab: cancelButton
                onActiveFocusChanged: if (activeFocus) scroller.reveal(continueButton)
                onClicked: drawing.pressContinue()
            }
        }

        Rectangle {
            Layout.fillWidth: true
            implicitHeight: 1
            color: Qt.rgba(0.06, 0.09, 0.16, 0.11)
        }
    }
}
