import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import QtQuick.VirtualKeyboard
import Vanto

// The kiosk: the order with its two ways to pay, the payment screen of the one under way, and
// its result. What is left unresolved in the journal is shown above the order, and must be
// reviewed before the next sale. A kiosk has no keyboard: the on-screen one rises under what is
// typed into (the program asks Qt for it, QT_IM_MODULE=qtvirtualkeyboard), and the stages keep
// above it.
Rectangle {
    id: root

    required property QtObject kiosk

    color: "#f8fafc"
    implicitWidth: 800
    implicitHeight: 600

    component KioskButton: Button {
        id: button
        padding: 16
        implicitHeight: Math.max(64, implicitContentHeight + topPadding + bottomPadding)
        font.pixelSize: 22
        Keys.onReturnPressed: clicked()
        Keys.onEnterPressed: clicked()
        contentItem: Text {
            text: button.text
            font: button.font
            color: button.enabled ? "#ffffff" : "#e2e8f0"
            wrapMode: Text.WordWrap
            horizontalAlignment: Text.AlignHCenter
            verticalAlignment: Text.AlignVCenter
        }
        background: Rectangle {
            radius: 10
            color: button.enabled ? (button.down ? "#115e59" : "#0f766e") : "#64748b"
            border.width: button.activeFocus ? 4 : 0
            border.color: "#f59e0b"
        }
    }

    // The order, and what the journal holds unresolved, above the keyboard; it scrolls where the
    // screen is too small for it.
    Flickable {
        id: orderStage
        objectName: "orderStage"
        anchors.fill: parent
        anchors.bottomMargin: root.height - keyboard.y
        contentWidth: width
        contentHeight: orderColumn.height + 64
        clip: true
        boundsBehavior: Flickable.StopAtBounds
        interactive: contentHeight > height
        visible: root.kiosk.stage === "order"

        ScrollBar.vertical: ScrollBar {
            policy: orderStage.interactive ? ScrollBar.AsNeeded : ScrollBar.AlwaysOff
        }

        // What has the focus (the field being typed into) lies wholly above the on-screen
        // keyboard: scrolled to when it takes the focus, and again when the keyboard rising
        // leaves the stage less room.
        function revealFocused() {
            const focused = root.Window.activeFocusItem;
            let inside = focused;
            while (inside && inside !== orderColumn) {
                inside = inside.parent;
            }
            if (!visible || !inside) {
                return;
            }
            const top = focused.mapToItem(contentItem, 0, 0).y - 16;
            const bottom = top + focused.height + 32;
            if (bottom > contentY + height) {
                contentY = Math.min(bottom - height, Math.max(0, contentHeight - height));
            }
            if (top < contentY) {
                contentY = Math.max(0, top);
            }
        }
        onHeightChanged: revealFocused()
        Connections {
            target: root.Window
            function onActiveFocusItemChanged() { orderStage.revealFocused(); }
        }

        ColumnLayout {
            id: orderColumn
            x: 32
            y: 32
            width: orderStage.width - 64
            height: Math.max(orderStage.height - 64, implicitHeight)
            spacing: 16

            Text {
                Layout.fillWidth: true
                text: qsTr("Pedido %1").arg(root.kiosk.order)
                font.pixelSize: 30
                font.weight: Font.DemiBold
                color: "#0f172a"
                wrapMode: Text.WordWrap
            }
            Repeater {
                model: root.kiosk.lines
                Text {
                    required property string modelData
                    Layout.fillWidth: true
                    text: modelData
                    font.pixelSize: 22
                    color: "#1e293b"
                    wrapMode: Text.WordWrap
                }
            }
            Text {
                Layout.fillWidth: true
                text: qsTr("Total: %1").arg(root.kiosk.total)
                font.pixelSize: 26
                font.weight: Font.DemiBold
                color: "#0f172a"
            }

            ColumnLayout {
                objectName: "toReview"
                Layout.fillWidth: true
                spacing: 8
                visible: root.kiosk.unresolved.length > 0

                Text {
                    Layout.fillWidth: true
                    text: qsTr("Pagos por revisar antes de la próxima venta")
                    font.pixelSize: 20
                    font.weight: Font.DemiBold
                    color: "#9a3412"
                    wrapMode: Text.WordWrap
                }
                Repeater {
                    model: root.kiosk.unresolved
                    Text {
                        required property string modelData
                        Layout.fillWidth: true
                        text: modelData
                        font.pixelSize: 18
                        color: "#7c2d12"
                        wrapMode: Text.WordWrap
                    }
                }
                TextField {
                    id: note
                    objectName: "reviewNote"
                    Layout.fillWidth: true
                    implicitHeight: 56
                    font.pixelSize: 18
                    placeholderText:
                        qsTr("Qué se comprobó (por ejemplo, el cargo en el extracto)")
                }
                KioskButton {
                    objectName: "reviewedButton"
                    Layout.fillWidth: true
                    text: qsTr("Marcar como revisado")
                    enabled: note.text.trim().length > 0
                    onClicked: {
                        if (root.kiosk.markReviewed(note.text)) {
                            note.clear();
                        }
                    }
                }
            }

            Item {
                Layout.fillHeight: true
            }

            RowLayout {
                Layout.fillWidth: true
                spacing: 16

                KioskButton {
                    objectName: "payByCardButton"
                    Layout.fillWidth: true
                    Layout.preferredWidth: 1
                    text: qsTr("Pagar con tarjeta")
                    enabled: root.kiosk.canSell
                    onClicked: root.kiosk.payByCard()
                }
                KioskButton {
                    objectName: "payOnPageButton"
                    Layout.fillWidth: true
                    Layout.preferredWidth: 1
                    text: qsTr("Pagar en la pasarela")
                    enabled: root.kiosk.canSell
                    onClicked: root.kiosk.payOnPage()
                }
            }
        }
    }

    // The payment under way: its screen fills the kiosk above the keyboard, and goes when it has
    // ended.
    Loader {
        objectName: "paymentStage"
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: parent.top
        anchors.bottom: keyboard.top
        focus: true
        sourceComponent: root.kiosk.stage === "card" ? cardScreen
                         : root.kiosk.stage === "page" ? paymentPage : null
    }
    Component {
        id: cardScreen
        CardEntryScreen {
            objectName: "cardEntryScreen"
            screen: root.kiosk.screen
        }
    }
    Component {
        id: paymentPage
        PaymentPage {
            objectName: "paymentPage"
            screen: root.kiosk.screen
        }
    }

    // The result.
    ColumnLayout {
        objectName: "resultStage"
        anchors.fill: parent
        anchors.margins: 32
        spacing: 16
        visible: root.kiosk.stage === "result"

        Item {
            Layout.fillHeight: true
        }
        Text {
            objectName: "verdict"
            Layout.fillWidth: true
            text: root.kiosk.verdict
            font.pixelSize: 34
            font.weight: Font.DemiBold
            color: root.kiosk.accepted ? "#166534" : "#991b1b"
            horizontalAlignment: Text.AlignHCenter
            wrapMode: Text.WordWrap
        }
        Text {
            objectName: "detail"
            Layout.fillWidth: true
            text: root.kiosk.detail
            font.pixelSize: 22
            color: "#1e293b"
            horizontalAlignment: Text.AlignHCenter
            wrapMode: Text.WordWrap
        }
        Item {
            Layout.fillHeight: true
        }
        KioskButton {
            objectName: "newSaleButton"
            Layout.fillWidth: true
            text: qsTr("Nueva venta")
            onClicked: root.kiosk.newSale()
        }
    }

    // Out of sight below the kiosk until something takes text.
    InputPanel {
        id: keyboard
        objectName: "keyboard"
        x: 0
        y: active ? root.height - height : root.height
        width: root.width
    }
}
