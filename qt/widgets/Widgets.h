#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include <QColor>
#include <QLabel>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include "vanto/platform/ui/Graphics.h"
#include "vanto/qt/Export.h"

class QSvgRenderer;
class QVBoxLayout;

namespace vanto::qt::detail {

/// The window of a screen: its background, its elements or the content that replaces them, the
/// taps outside its controls, and what a close asked for by hand does.
class VANTO_QT_EXPORT ScreenWindow final : public QWidget {
    Q_OBJECT

  public:
    explicit ScreenWindow(const QString& title);
    ~ScreenWindow() override;

    /// The screen's own elements, laid out in `elements`.
    void setElements(QWidget* elements);
    /// An image that fills the whole window behind the elements.
    void setBackground(QWidget* background);
    /// Makes `content` fill the window, in place of the elements.
    void setContent(QWidget* content);
    void addTapAction(std::function<void()> action);
    /// What a close asked for by hand (the window's own close button) does instead of closing;
    /// without one the window just hides.
    void setCloseRequestHandler(std::function<void()> handler);

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    QVBoxLayout* layout_;
    QPointer<QWidget> elements_;
    QPointer<QWidget> background_;
    std::vector<std::function<void()>> tapActions_;
    std::function<void()> closeRequestHandler_;
};

/// A spinning arc that says the screen is busy.
class VANTO_QT_EXPORT BusyIndicator final : public QWidget {
    Q_OBJECT

  public:
    explicit BusyIndicator(QWidget* parent = nullptr);
    void setSpinning(bool spinning);
    bool isSpinning() const { return timer_.isActive(); }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QTimer timer_;
    int angle_ = 0;
};

/// `text` in `font` in the lines `width` wide the screens draw it in: wrapped at word
/// boundaries, and inside a word only where the word is wider than a whole line.
VANTO_QT_EXPORT QStringList wrappedLines(const QString& text, const QFont& font, int width);

/// A button of a screen's top bar: a flat title in the colours it is given, which wraps onto
/// more lines rather than lose a letter when the bar is narrow (its narrowest is its longest
/// word, or the widest it keeps a word whole), and a ring of two pixels in the title's colour while
/// it has the keyboard focus. Return and Enter press it, as Space does.
class VANTO_QT_EXPORT BarButton final : public QPushButton {
    Q_OBJECT

  public:
    explicit BarButton(QWidget* parent = nullptr);
    /// The title's colour while the button can be pressed, and while it cannot.
    void setColors(const QColor& enabled, const QColor& disabled);
    /// The rectangle of the button the title is drawn in, word-wrapped.
    QRect titleArea() const;

    /// The widest the button keeps a word of its title whole: a wider one is broken.
    void setWidestUnbroken(int width);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override;
    int heightForWidth(int width) const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QColor enabled_;
    QColor disabled_;
    int widestUnbroken_ = QWIDGETSIZE_MAX;
};

/// A text of the screen (a caption, a field's problem) that wraps at word boundaries and breaks
/// only a word wider than a whole line, so that nothing of it is ever cut. It is never narrower
/// than its widest word, up to the widest word kept whole (the line of the narrowest window).
class VANTO_QT_EXPORT WrappedLabel final : public QLabel {
    Q_OBJECT

  public:
    explicit WrappedLabel(QWidget* parent = nullptr);
    void setWidestUnbroken(int width);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override;
    int heightForWidth(int width) const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    int widestUnbroken_ = QWIDGETSIZE_MAX;
};

/// An image, named (a resource of the binding, such as the library's logo "logoQuenta") or
/// decoded from bytes (PNG, JPEG, SVG, ...), drawn at any size without distortion: whole inside
/// the box, or filling it and cut at its edges.
class ImageBox final : public QWidget {
    Q_OBJECT

  public:
    enum class Fit { whole, fill };

    explicit ImageBox(Fit fit, QWidget* parent = nullptr);
    ~ImageBox() override;

    /// Shows `image` in place of the previous one; false, and nothing shown, when it cannot be
    /// read.
    bool setImage(const platform::ui::Image& image);
    bool hasImage() const;
    /// The image's colours averaged, alpha included; none without an image.
    std::optional<QColor> averageColor() const;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    bool load(const QByteArray& bytes);
    QSizeF naturalSize() const;

    Fit fit_;
    QPixmap picture_;
    std::unique_ptr<QSvgRenderer> drawing_;
};

}  // namespace vanto::qt::detail
