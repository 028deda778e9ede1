import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import QtWebEngine
import Vanto

// The payment web page of a web payment: the WebViewPaymentController set in `screen` (a
// ScreenHandle), drawn from its view model. A web view fills it, with the activity indicator in
// its middle, the close button over its top-left corner once the screen shows it, and the
// screen's alert over everything.
//
// The web view is made for the screen, in a profile of its own that keeps nothing and is thrown
// away with it, so that a certificate accepted for one page is not remembered for another: the
// view and its profile go as soon as the screen closes, with what the cardholder typed into the
// page; a screen presented again gets a new one. Escape presses the close button while it is
// shown, and does nothing before: the page is left through that button or the window's close.
FocusScope {
    id: root

    /// The WebViewPaymentController to draw, in a ScreenHandle.
    property QtObject screen
    /// The screen has closed itself: its payment has ended, and it shows nothing any more.
    readonly property bool closed: drawing.closed
    /// The smallest size at which the screen shows everything.
    readonly property size minimumSize: Qt.size(320, 480)

    implicitWidth: 480
    implicitHeight: 720

    // The web view takes every key it is given: Escape reaches the screen as a shortcut, while
    // the keyboard's focus is within it.
    Shortcut {
        sequence: "Escape"
        context: Qt.WindowShortcut
        enabled: root.activeFocus && drawing.attached && !drawing.closed && drawing.closeVisible
        onActivated: drawing.pressCloseButton()
    }

    PaymentPageDrawing {
        id: drawing
        objectName: "drawing"
        anchors.fill: parent
        screen: root.screen
        view: page.item
        onScriptRequested: (id, source) => {
            if (page.item) {
                page.item.runJavaScript(source, answer => drawing.scriptAnswered(id, answer));
            }
        }
    }

    Item {
        anchors.fill: parent
        visible: drawing.attached && !drawing.closed

        Loader {
            id: page
            anchors.fill: parent
            active: drawing.attached && !drawing.closed
            focus: true
            // The web view tells assistive technologies nothing of its own: the pane holding it
            // names the page.
            Accessible.role: Accessible.Pane
            Accessible.name: drawing.texts.page
            sourceComponent: WebEngineView {
                objectName: "paymentWebView"
                focus: true
                profile: WebEngineProfile {
                    offTheRecord: true
                    httpCacheType: WebEngineProfile.MemoryHttpCache
                    persistentCookiesPolicy: WebEngineProfile.NoPersistentCookies
                }
                settings.autoLoadIconsForPage: false
                settings.errorPageEnabled: false
            }
        }

        BusyIndicator {
            objectName: "busyIndicator"
            anchors.centerIn: parent
            running: drawing.busy && drawing.attached && !drawing.closed
            visible: running
            Accessible.name: drawing.texts.busy
        }

        Button {
            id: closeButton
            objectName: "closeButton"
            x: drawing.closeFrame.x
            y: drawing.closeFrame.y
            width: Math.max(48, drawing.closeFrame.width, implicitWidth)
            height: Math.max(48, drawing.closeFrame.height, implicitHeight)
            visible: drawing.closeVisible
            text: drawing.closeTitle
            font: drawing.closeFont
            focusPolicy: Qt.StrongFocus
            Accessible.name: drawing.texts.close
            Keys.onReturnPressed: clicked()
            Keys.onEnterPressed: clicked()
            onClicked: drawing.pressCloseButton()

            contentItem: Text {
                objectName: "closeButtonTitle"
                text: closeButton.text
                font: closeButton.font
                color: "#111827"
                wrapMode: Text.WrapAtWordBoundaryOrAnywhere
                horizontalAlignment: Text.AlignHCenter
                verticalAlignment: Text.AlignVCenter
            }
            background: Rectangle {
                radius: 8
                color: closeButton.down ? "#e2e8f0" : Qt.rgba(1, 1, 1, 0.92)
                border.width: closeButton.activeFocus ? 3 : 1
                border.color: closeButton.activeFocus ? "#0f766e" : "#64748b"
            }
        }
    }

    Popup {
        id: alert
        objectName: "alert"
        parent: root
        anchors.centerIn: parent
        width: Math.min(root.width - 32, 420)
        modal: true
        closePolicy: Popup.NoAutoClose
        visible: drawing.attached && drawing.alertShown
        padding: 20
        onOpened: {
            if (alertButtons.count > 0) {
                alertButtons.itemAt(0).forceActiveFocus(Qt.PopupFocusReason);
            }
        }

        background: Rectangle {
            radius: 12
            color: "#ffffff"
            border.color: "#cbd5e1"
        }

        contentItem: ColumnLayout {
            spacing: 12

            // Escape answers an alert of one button with it, as a dialog's escape button.
            Keys.onEscapePressed: {
                if (alertButtons.count === 1) {
                    drawing.pressAlertButton(0);
                }
            }

            Text {
                objectName: "alertTitle"
                Layout.fillWidth: true
                text: drawing.alertTitle
                font.pixelSize: Math.max(18, Qt.application.font.pixelSize + 2)
                font.weight: Font.DemiBold
                color: "#111827"
                wrapMode: Text.WrapAtWordBoundaryOrAnywhere
            }
            Text {
                objectName: "alertMessage"
                Layout.fillWidth: true
                text: drawing.alertMessage
                font.pixelSize: Math.max(15, Qt.application.font.pixelSize)
                color: "#1f2937"
                wrapMode: Text.WrapAtWordBoundaryOrAnywhere
            }
            Flow {
                id: buttons
                Layout.fillWidth: true
                layoutDirection: Qt.RightToLeft
                spacing: 8

                Repeater {
                    id: alertButtons
                    model: drawing.alertButtons

                    BarButton {
                        required property string modelData
                        required property int index
                        objectName: "alertButton" + index
                        width: Math.min(implicitWidth, buttons.width)
                        prominent: true
                        text: modelData
                        color: "#0f766e"
                        disabledColor: "#6b7280"
                        focusColor: "#0f766e"
                        onClicked: drawing.pressAlertButton(index)
                    }
                }
            }
        }
    }
}
