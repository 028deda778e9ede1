#pragma once

#include <memory>
#include <optional>
#include <string>

#include <QColor>
#include <QFont>
#include <QPointer>
#include <QString>
#include <QWidget>

#include "vanto/platform/ui/Color.h"
#include "vanto/platform/ui/Font.h"
#include "vanto/platform/ui/Rect.h"
#include "vanto/platform/ui/View.h"

namespace vanto::qt::detail {

namespace ui = platform::ui;

/// What every element of the binding is besides its port: the widget it drives. The widget
/// belongs to the widget tree it is placed in. An element whose widget has no parent when the
/// element goes (a screen's window, a web view not yet placed) deletes it, later, so that a signal
/// the widget is delivering at that moment can finish. Once the widget has gone, the element takes
/// every call without effect.
class Element {
  public:
    explicit Element(QWidget* widget);
    virtual ~Element();
    Element(const Element&) = delete;
    Element& operator=(const Element&) = delete;

    QWidget* widget() const { return widget_; }

    /// Places the widget over `parent`, at its frame (or centred when it has none), with the
    /// visibility asked for meanwhile, above what is there.
    virtual void placeOver(QWidget* parent);

  protected:
    /// Shows or hides the widget. A widget without a parent only remembers it until it is placed:
    /// shown on its own it would become a window.
    void setShown(bool shown);
    /// Fades the widget to `alpha`, over the animation in progress if any (AnimationScope).
    void setOpacity(double alpha);

  private:
    QPointer<QWidget> widget_;
};

/// The widget behind an element of the binding; null for an element of another toolkit or once
/// the widget has gone.
QWidget* widgetOf(const ui::View* view);
template <typename Element>
QWidget* widgetOf(const std::shared_ptr<Element>& view) {
    return widgetOf(static_cast<const ui::View*>(view.get()));
}

/// Marks `widget` as one that sits in the middle of what it is placed over (an activity indicator,
/// which has no frame of its own).
void markCentred(QWidget* widget);
/// Moves the centred widgets placed over `parent` back to its middle, after it was resized.
void recentreOver(QWidget& parent);

/// The duration of the animation that Toolkit::animate runs while it applies its changes: an
/// opacity set meanwhile fades over it.
class AnimationScope {
  public:
    explicit AnimationScope(double seconds);
    ~AnimationScope();
    AnimationScope(const AnimationScope&) = delete;
    AnimationScope& operator=(const AnimationScope&) = delete;

    /// The duration in force, 0 outside an animation.
    static double seconds();

  private:
    double outer_;
};

QString toQString(const std::string& utf8);
QColor toQColor(const ui::Color& color);
QFont toQFont(const ui::Font& font);
QRect toQRect(const ui::Rect& frame);

}  // namespace vanto::qt::detail
