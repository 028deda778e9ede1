#pragma once

#include <memory>

#include <QMetaObject>
#include <QPointer>
#include <QQuickItem>
#include <QQuickWindow>
#include <QVariantMap>
#include <QtQmlIntegration>

namespace vanto {
class BaseViewController;
}  // namespace vanto

namespace vanto::quick::detail {

/// What the drawings of both screens share: an item, invisible itself, that draws the screen set
/// in `screen` (a ScreenHandle) for the QML around it and hands that screen's view model what the
/// cardholder does there. It becomes the observer of the view model when the screen is set, and
/// lets go of everything it showed when the screen goes or another takes its place. The screen
/// is told that it appeared once for each time it is set, on the turn of the event loop after
/// the item is first shown in a visible window; the item it draws for (its parent) takes the
/// keyboard focus then. A close of that window asked for by hand is, while the screen shows, the
/// screen's own way out instead, as a screen's own window has it in every binding.
///
/// A screen is drawn by one item at a time: set on a second item, it leaves the first.
class ScreenDrawing : public QQuickItem {
    Q_OBJECT
    Q_PROPERTY(QObject* screen READ screen WRITE setScreen NOTIFY screenChanged)
    /// A screen of the drawing's kind is set and still there.
    Q_PROPERTY(bool attached READ attached NOTIFY attachedChanged)
    /// The screen has closed itself: its payment has ended.
    Q_PROPERTY(bool closed READ closed NOTIFY closedChanged)
    /// The binding's own texts, by name (see BindingTexts.h).
    Q_PROPERTY(QVariantMap texts READ texts CONSTANT)
    QML_ANONYMOUS

  public:
    explicit ScreenDrawing(QQuickItem* parent = nullptr);
    ~ScreenDrawing() override;

    QObject* screen() const { return handle_; }
    void setScreen(QObject* handle);
    bool attached() const { return attached_; }
    bool closed() const { return closed_; }
    QVariantMap texts() const;

    /// The screen went, or its view model took another observer: nothing is drawn any more.
    void screenGone();

    /// The screen's own way out, as a window closed by hand.
    Q_INVOKABLE virtual void requestClose() = 0;

  signals:
    void screenChanged();
    void attachedChanged();
    void closedChanged();

  protected:
    /// Draws `screen`, loaded: becomes the observer of its view model. False when the screen is
    /// not of this drawing's kind.
    virtual bool attach(const std::shared_ptr<BaseViewController>& screen) = 0;
    /// Stops drawing the screen and lets go of what it showed. Called once for each attach.
    virtual void detach() = 0;
    /// Tells the view model that the screen is on screen.
    virtual void tellAppeared() = 0;

    void setClosed(bool closed);
    void itemChange(ItemChange change, const ItemChangeData& value) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void release();
    void appearWhenShown();

    QPointer<QObject> handle_;
    QMetaObject::Connection windowShown_;
    // The window whose close by hand this watches.
    QPointer<QQuickWindow> watchedWindow_;
    bool attached_ = false;
    bool closed_ = false;
    bool appearancePending_ = false;
    // Counts the screens set, so that an appearance queued for one is not told to the next.
    unsigned presentation_ = 0;
};

/// Held by a screen's view model (`Model`); tells its drawing what changed, and that the model has
/// gone when it goes.
template <typename Drawing, typename Model>
class DrawingObserver : public Model::Observer {
  public:
    explicit DrawingObserver(Drawing* drawing) : drawing_(drawing) {}
    ~DrawingObserver() override {
        if (drawing_) {
            drawing_->screenGone();
        }
    }
    DrawingObserver(const DrawingObserver&) = delete;
    DrawingObserver& operator=(const DrawingObserver&) = delete;

    void changed(typename Model::Part part) override {
        if (drawing_) {
            drawing_->changed(part);
        }
    }
    /// The drawing lets go of the model itself: nothing more to tell it.
    void forget() { drawing_ = nullptr; }

  private:
    QPointer<Drawing> drawing_;
};

}  // namespace vanto::quick::detail
