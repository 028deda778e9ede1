#include "Elements.h"

#include <cmath>

#include <QGuiApplication>
#include <QInputMethod>
#include <QMessageBox>

#include "vanto/platform/MainQueue.h"

namespace vanto::qt::detail {

void QtLabel::setText(const std::string& text) {
    if (!label_) {
        return;
    }
    label_->setText(toQString(text));
    if (QWidget* field = label_->buddy(); field && !text.empty()) {
        field->setAccessibleName(label_->text());
    }
}

// An empty font or palette resolves nothing, so the label takes what its window has again.
void QtLabel::setFont(const std::optional<ui::Font>& font) {
    if (label_) {
        label_->setFont(font ? toQFont(*font) : QFont());
    }
}

void QtLabel::setTextColor(const std::optional<ui::Color>& color) {
    if (!label_) {
        return;
    }
    if (!color) {
        label_->setPalette(QPalette());
        return;
    }
    QPalette palette = label_->palette();
    palette.setColor(QPalette::WindowText, toQColor(*color));
    label_->setPalette(palette);
}

void QtBarButton::setTitle(const std::string& title) {
    if (button_) {
        button_->setText(toQString(title));
    }
}

void QtBarButton::setEnabled(bool enabled) {
    if (button_) {
        button_->setEnabled(enabled);
    }
}

// A disabled button emits no clicked(): a blocked button runs no action.
void QtBarButton::setAction(std::function<void()> action) {
    if (!button_) {
        return;
    }
    QObject::disconnect(action_);
    action_ = QObject::connect(button_, &QPushButton::clicked, button_, std::move(action));
}

void QtButton::setTitle(const std::string& title) {
    if (button_) {
        button_->setText(toQString(title));
    }
}

void QtButton::setFont(const ui::Font& font) {
    if (button_) {
        button_->setFont(toQFont(font));
    }
}

void QtButton::setFrame(const ui::Rect& frame) {
    if (button_) {
        button_->setGeometry(toQRect(frame));
    }
}

void QtButton::setAction(std::function<void()> action) {
    if (!button_) {
        return;
    }
    QObject::disconnect(action_);
    action_ = QObject::connect(button_, &QPushButton::clicked, button_, std::move(action));
}

void QtImageView::setImage(const ui::Image& image) {
    if (box_) {
        box_->setImage(image);
    }
}

QtActivityIndicator::QtActivityIndicator(BusyIndicator* indicator)
    : Element(indicator), indicator_(indicator) {
    markCentred(indicator);
    apply();
}

void QtActivityIndicator::setHidden(bool hidden) {
    hidden_ = hidden;
    apply();
}

void QtActivityIndicator::startAnimating() {
    animating_ = true;
    apply();
}

void QtActivityIndicator::stopAnimating() {
    animating_ = false;
    apply();
}

void QtActivityIndicator::apply() {
    if (indicator_) {
        indicator_->setSpinning(animating_);
        setShown(animating_ && !hidden_);
    }
}

void QtLayoutConstraint::setConstant(double constant) {
    if (spacer_) {
        spacer_->setFixedHeight(std::isfinite(constant)
                                    ? static_cast<int>(std::lround(std::clamp(constant, 0.0, 1e4)))
                                    : 0);
    }
}

void QtMainView::setBackgroundColor(const ui::Color& color) {
    if (!window_) {
        return;
    }
    QPalette palette = window_->palette();
    palette.setColor(QPalette::Window, toQColor(color));
    window_->setPalette(palette);
}

void QtMainView::endEditing() {
    if (!window_) {
        return;
    }
    if (QWidget* focused = window_->focusWidget()) {
        focused->clearFocus();
    }
    QGuiApplication::inputMethod()->hide();
}

void QtMainView::addTapRecognizer(std::function<void()> action) {
    if (window_) {
        window_->addTapAction(std::move(action));
    }
}

void QtMainView::setContentView(std::shared_ptr<ui::View> content) {
    QWidget* widget = widgetOf(content.get());
    if (!window_ || !widget) {
        return;
    }
    content_ = std::move(content);
    window_->setContent(widget);
}

namespace {

QMessageBox::ButtonRole roleOf(ui::AlertActionStyle style) {
    switch (style) {
        case ui::AlertActionStyle::cancel:
            return QMessageBox::RejectRole;
        case ui::AlertActionStyle::destructive:
            return QMessageBox::DestructiveRole;
        case ui::AlertActionStyle::defaultStyle:
            break;
    }
    return QMessageBox::AcceptRole;
}

}  // namespace

// The box closes itself when one of its buttons is pressed; the button's handler runs after that,
// on the main queue.
void QtPresentation::present(ui::Alert alert, bool) {
    if (!window_) {
        return;
    }
    auto* box = new QMessageBox(window_);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::WindowModal);
    box->setWindowTitle(toQString(alert.title));
    box->setTextFormat(Qt::PlainText);
    box->setText(toQString(alert.title));
    box->setInformativeText(toQString(alert.message));
    for (auto& action : alert.actions) {
        auto* button = box->addButton(toQString(action.title), roleOf(action.style));
        QObject::connect(button, &QAbstractButton::clicked, box,
                         [handler = std::move(action.handler)] {
                             if (handler) {
                                 platform::MainQueue::async(handler);
                             }
                         });
    }
    box->open();
}

void QtPresentation::dismiss(bool) {
    if (window_) {
        window_->hide();
    }
}

}  // namespace vanto::qt::detail
