#pragma once

#include <functional>
#include <memory>

#include <QLabel>
#include <QPointer>
#include <QPushButton>

#include "Element.h"
#include "Widgets.h"
#include "vanto/platform/ui/ActivityIndicator.h"
#include "vanto/platform/ui/BarButton.h"
#include "vanto/platform/ui/Button.h"
#include "vanto/platform/ui/ImageView.h"
#include "vanto/platform/ui/Label.h"
#include "vanto/platform/ui/LayoutConstraint.h"
#include "vanto/platform/ui/MainView.h"
#include "vanto/platform/ui/NavigationBar.h"
#include "vanto/platform/ui/Presentation.h"

namespace vanto::qt::detail {

/// A caption on a QLabel. A label with a buddy field also names that field for assistive
/// technologies.
class QtLabel final : public ui::Label, public Element {
  public:
    explicit QtLabel(QLabel* label) : Element(label), label_(label) {}
    void setText(const std::string& text) override;
    void setFont(const std::optional<ui::Font>& font) override;
    void setTextColor(const std::optional<ui::Color>& color) override;
    void setAlpha(double alpha) override { setOpacity(alpha); }

  private:
    QPointer<QLabel> label_;
};

/// A button of the screen's top bar.
class QtBarButton final : public ui::BarButton, public Element {
  public:
    explicit QtBarButton(QPushButton* button) : Element(button), button_(button) {}
    void setTitle(const std::string& title) override;
    void setEnabled(bool enabled) override;
    void setAction(std::function<void()> action) override;

  private:
    QPointer<QPushButton> button_;
    QMetaObject::Connection action_;
};

/// A push button placed in code, such as the web screen's close button.
class QtButton final : public ui::Button, public Element {
  public:
    explicit QtButton(QPushButton* button) : Element(button), button_(button) {}
    void setTitle(const std::string& title) override;
    void setFont(const ui::Font& font) override;
    void setHidden(bool hidden) override { setShown(!hidden); }
    void setFrame(const ui::Rect& frame) override;
    void setAction(std::function<void()> action) override;

  private:
    QPointer<QPushButton> button_;
    QMetaObject::Connection action_;
};

class QtImageView final : public ui::ImageView, public Element {
  public:
    explicit QtImageView(ImageBox* box) : Element(box), box_(box) {}
    void setImage(const ui::Image& image) override;
    void setAlpha(double alpha) override { setOpacity(alpha); }

  private:
    QPointer<ImageBox> box_;
};

/// Visible while it spins, unless hidden.
class QtActivityIndicator final : public ui::ActivityIndicator, public Element {
  public:
    explicit QtActivityIndicator(BusyIndicator* indicator);
    void setHidden(bool hidden) override;
    void startAnimating() override;
    void stopAnimating() override;

  private:
    void apply();

    QPointer<BusyIndicator> indicator_;
    bool hidden_ = true;
    bool animating_ = false;
};

class QtNavigationBar final : public ui::NavigationBar, public Element {
  public:
    explicit QtNavigationBar(QWidget* bar) : Element(bar) {}
    void setAlpha(double alpha) override { setOpacity(alpha); }
};

/// The space above the navigation bar: the height of an empty widget.
class QtLayoutConstraint final : public ui::LayoutConstraint {
  public:
    explicit QtLayoutConstraint(QWidget* spacer) : spacer_(spacer) {}
    void setConstant(double constant) override;

  private:
    QPointer<QWidget> spacer_;
};

class QtMainView final : public ui::MainView, public Element {
  public:
    explicit QtMainView(ScreenWindow* window) : Element(window), window_(window) {}
    void setBackgroundColor(const ui::Color& color) override;
    void endEditing() override;
    void addTapRecognizer(std::function<void()> action) override;
    void setContentView(std::shared_ptr<ui::View> content) override;

    ScreenWindow* window() const { return window_; }

  private:
    QPointer<ScreenWindow> window_;
    std::shared_ptr<ui::View> content_;
};

/// Alerts as window-modal message boxes over the screen's window; dismissal hides the window.
class QtPresentation final : public ui::Presentation {
  public:
    explicit QtPresentation(ScreenWindow* window) : window_(window) {}
    void present(ui::Alert alert, bool animated) override;
    void dismiss(bool animated) override;

  private:
    QPointer<ScreenWindow> window_;
};

}  // namespace vanto::qt::detail
