#pragma once

#include <array>
#include <memory>

#include <QColor>
#include <QFont>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <QVariantMap>
#include <QtQmlIntegration>

#include "ScreenDrawing.h"
#include "vanto/platform/ui/CardEntryViewModel.h"

namespace vanto::quick::detail {

namespace ui = platform::ui;

/// The card-entry screen's drawing for CardEntryScreen.qml: what the QML shows, from the view
/// model of the DirectPaymentViewController set in `screen`, and what the cardholder does there,
/// handed to the model.
///
/// The three card fields are TextInput items that the QML hands over (numberInput, expiryInput,
/// securityCodeInput). Their texts never pass through JavaScript: each edit the cardholder makes
/// is read here, put to the screen's input rules as the range it replaced and its replacement,
/// and the field then shows what the model holds. A reference to the storage of each field's text
/// and of the copy it draws is kept, so that the field cannot let go of either before it has been
/// overwritten here. The keys that would delete through the clipboard (to the end of the line,
/// the whole line) delete here without it, and an input method is handed none of the fields'
/// texts.
///
/// Captions and bar buttons are drawn in colours that stand out from the background by at least
/// 4.5:1 (the merchant's colour, made darker or lighter where it does not).
class CardEntryDrawing : public ScreenDrawing {
    Q_OBJECT
    QML_ELEMENT

    Q_PROPERTY(QColor backgroundColor READ backgroundColor NOTIFY appearanceChanged)
    Q_PROPERTY(QUrl backgroundImage READ backgroundImage NOTIFY appearanceChanged)
    Q_PROPERTY(QUrl logo READ logo NOTIFY appearanceChanged)
    /// Each caption as {text, font, color}.
    Q_PROPERTY(QVariantMap infoCaption READ infoCaption NOTIFY appearanceChanged)
    Q_PROPERTY(QVariantMap numberCaption READ numberCaption NOTIFY appearanceChanged)
    Q_PROPERTY(QVariantMap expiryCaption READ expiryCaption NOTIFY appearanceChanged)
    Q_PROPERTY(QVariantMap securityCodeCaption READ securityCodeCaption NOTIFY appearanceChanged)
    /// The bar buttons' titles, enabled and disabled, and the focus indicator, readable on the
    /// background.
    Q_PROPERTY(QColor barColor READ barColor NOTIFY appearanceChanged)
    Q_PROPERTY(QColor barDisabledColor READ barDisabledColor NOTIFY appearanceChanged)
    Q_PROPERTY(QColor focusColor READ focusColor NOTIFY appearanceChanged)

    Q_PROPERTY(qreal topSpacing READ topSpacing NOTIFY layoutChanged)
    Q_PROPERTY(qreal fadeOpacity READ fadeOpacity NOTIFY fadeChanged)
    /// Told before fadeOpacity, so that the fade to the new opacity takes the new duration.
    Q_PROPERTY(int fadeMilliseconds READ fadeMilliseconds NOTIFY fadeDurationChanged)

    Q_PROPERTY(bool numberEnabled READ numberEnabled NOTIFY fieldsChanged)
    Q_PROPERTY(bool expiryEnabled READ expiryEnabled NOTIFY fieldsChanged)
    Q_PROPERTY(bool securityCodeEnabled READ securityCodeEnabled NOTIFY fieldsChanged)
    /// Why a field's content is not valid, once the cardholder left it ("" nothing to say).
    Q_PROPERTY(QString numberProblem READ numberProblem NOTIFY fieldsChanged)
    Q_PROPERTY(QString expiryProblem READ expiryProblem NOTIFY fieldsChanged)
    Q_PROPERTY(QString securityCodeProblem READ securityCodeProblem NOTIFY fieldsChanged)
    /// The colour the problems are written in, readable on the background.
    Q_PROPERTY(QColor problemColor READ problemColor NOTIFY appearanceChanged)
    /// Whether the security code shows as dots while it is typed (the appearance's option).
    Q_PROPERTY(bool securityCodeMasked READ securityCodeMasked NOTIFY appearanceChanged)
    Q_PROPERTY(QString cancelTitle READ cancelTitle NOTIFY buttonsChanged)
    Q_PROPERTY(bool cancelEnabled READ cancelEnabled NOTIFY buttonsChanged)
    Q_PROPERTY(QString continueTitle READ continueTitle NOTIFY buttonsChanged)
    Q_PROPERTY(bool continueEnabled READ continueEnabled NOTIFY buttonsChanged)
    Q_PROPERTY(bool busy READ busy NOTIFY busyChanged)

    Q_PROPERTY(QQuickItem* numberInput READ numberInput WRITE setNumberInput)
    Q_PROPERTY(QQuickItem* expiryInput READ expiryInput WRITE setExpiryInput)
    Q_PROPERTY(QQuickItem* securityCodeInput READ securityCodeInput WRITE setSecurityCodeInput)

  public:
    explicit CardEntryDrawing(QQuickItem* parent = nullptr);
    ~CardEntryDrawing() override;

    QColor backgroundColor() const;
    QUrl backgroundImage() const;
    QUrl logo() const;
    QVariantMap infoCaption() const { return caption(&ui::CardEntryAppearance::infoCaption); }
    QVariantMap numberCaption() const { return caption(&ui::CardEntryAppearance::numberCaption); }
    QVariantMap expiryCaption() const { return caption(&ui::CardEntryAppearance::expiryCaption); }
    QVariantMap securityCodeCaption() const {
        return caption(&ui::CardEntryAppearance::securityCodeCaption);
    }
    QColor barColor() const;
    QColor barDisabledColor() const;
    QColor focusColor() const;
    qreal topSpacing() const;
    qreal fadeOpacity() const;
    int fadeMilliseconds() const;
    bool numberEnabled() const { return fieldEnabled(ui::CardField::number); }
    bool expiryEnabled() const { return fieldEnabled(ui::CardField::expiry); }
    bool securityCodeEnabled() const { return fieldEnabled(ui::CardField::securityCode); }
    QString numberProblem() const { return fieldProblem(ui::CardField::number); }
    QString expiryProblem() const { return fieldProblem(ui::CardField::expiry); }
    QString securityCodeProblem() const { return fieldProblem(ui::CardField::securityCode); }
    QColor problemColor() const;
    bool securityCodeMasked() const;
    QString cancelTitle() const;
    bool cancelEnabled() const;
    QString continueTitle() const;
    bool continueEnabled() const;
    bool busy() const;

    QQuickItem* numberInput() const { return input(ui::CardField::number); }
    void setNumberInput(QQuickItem* item) { setInput(ui::CardField::number, item); }
    QQuickItem* expiryInput() const { return input(ui::CardField::expiry); }
    void setExpiryInput(QQuickItem* item) { setInput(ui::CardField::expiry, item); }
    QQuickItem* securityCodeInput() const { return input(ui::CardField::securityCode); }
    void setSecurityCodeInput(QQuickItem* item) { setInput(ui::CardField::securityCode, item); }

    // What the cardholder does.
    Q_INVOKABLE void pressContinue();
    Q_INVOKABLE void pressCancel();
    Q_INVOKABLE void tapOutside();
    /// The cardholder left the field whose input is `input`.
    Q_INVOKABLE void leave(QQuickItem* input);
    void requestClose() override;

    /// From the view model's observer.
    void changed(ui::CardEntryViewModel::Part part);

  signals:
    void appearanceChanged();
    void layoutChanged();
    void fadeDurationChanged();
    void fadeChanged();
    void fieldsChanged();
    void buttonsChanged();
    void busyChanged();

  protected:
    bool attach(const std::shared_ptr<BaseViewController>& screen) override;
    void detach() override;
    void tellAppeared() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private slots:
    void numberEdited() { fieldEdited(ui::CardField::number); }
    void expiryEdited() { fieldEdited(ui::CardField::expiry); }
    void securityCodeEdited() { fieldEdited(ui::CardField::securityCode); }

  private:
    class Observer;

    // A card field as drawn: its TextInput, and the text it holds and the copy it draws (its
    // display text), whose storage they share.
    struct Input {
        QPointer<QQuickItem> item;
        QString held;
        QString drawn;
        QMetaObject::Connection edited;
    };

    QVariantMap caption(ui::Caption ui::CardEntryAppearance::*which) const;
    bool fieldEnabled(ui::CardField field) const;
    QString fieldProblem(ui::CardField field) const;
    QQuickItem* input(ui::CardField field) const;
    void setInput(ui::CardField field, QQuickItem* item);
    void fieldEdited(ui::CardField field);
    /// Puts the edit of `range` by `replacement` to the screen's rules, and shows what the model
    /// holds then.
    void edit(ui::CardField field, ui::TextRange range, QString replacement);
    void deleteLine(ui::CardField field, bool whole);
    /// Takes the references of the field's text and display text anew; `wipe`: overwrites the
    /// ones held before, which the field has let go of.
    void hold(Input& input, bool wipe);
    /// Shows in the field what the model holds, the insertion point at `cursor` (at the end when
    /// negative).
    /// Shows the model's text of `field`, the insertion point at `cursor`, or else right after its
    /// `afterDigit`-th digit; -1: where setting the text puts it.
    void showField(ui::CardField field, qsizetype cursor = -1, qsizetype afterDigit = -1);
    void showFields();
    void emptyFields();
    void endEditing();
    template <typename Action>
    void toModel(Action action);

    std::weak_ptr<ui::CardEntryViewModel> model_;
    // Owned by the view model: it goes with the model, and tells this when it does.
    std::weak_ptr<Observer> observer_;
    std::array<Input, 3> inputs_;
};

}  // namespace vanto::quick::detail
