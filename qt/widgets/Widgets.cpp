#include "Widgets.h"

#include <cmath>

#include <QCloseEvent>
#include <QFile>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QRegularExpression>
#include <QSvgRenderer>
#include <QTextLayout>
#include <QVBoxLayout>

#include "base/QtValues.h"
#include "base/ScreenTexts.h"

namespace vanto::qt::detail {
namespace {

constexpr int kIndicatorSize = 40;
constexpr int kIndicatorStepMs = 40;
constexpr int kIndicatorStepDegrees = 24;

// Room around a bar button's title, and the focus ring's width.
constexpr int kTitleMarginX = 14;
constexpr int kTitleMarginY = 8;
constexpr int kFocusRing = 2;
constexpr int kTitleFlags = Qt::AlignCenter | Qt::TextWordWrap;

// The size an image is averaged at: enough to weigh every part of it.
constexpr int kAverageSide = 16;

// A text laid out in lines, and the height they take.
struct Wrapped {
    QTextLayout layout;
    qreal height = 0;
};

// `text` laid out in lines `width` wide: at word boundaries, and inside a word only where the
// word is wider than a whole line.
void wrap(Wrapped& wrapped, const QString& text, const QFont& font, int width,
          Qt::Alignment alignment) {
    QTextOption option(alignment & Qt::AlignHorizontal_Mask);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    wrapped.layout.setText(text);
    wrapped.layout.setFont(font);
    wrapped.layout.setTextOption(option);
    wrapped.layout.beginLayout();
    const qreal leading = QFontMetricsF(font).leading();
    for (QTextLine line = wrapped.layout.createLine(); line.isValid();
         line = wrapped.layout.createLine()) {
        line.setLineWidth(std::max(1, width));
        line.setPosition(QPointF(0, wrapped.height));
        wrapped.height += line.height() + leading;
    }
    wrapped.layout.endLayout();
}

// The width of the widest word of `text`.
int widestWord(const QFontMetrics& metrics, const QString& text) {
    int widest = 0;
    for (const QString& word :
         text.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts)) {
        widest = std::max(widest, metrics.horizontalAdvance(word));
    }
    return widest;
}

// Where the binding's named images live: an SVG drawing, or else a PNG picture.
std::optional<QByteArray> namedImage(const std::string& name) {
    for (const char* suffix : {".svg", ".png"}) {
        QFile file(QStringLiteral(":/vanto/images/") + toQString(name) + QLatin1String(suffix));
        if (file.open(QIODevice::ReadOnly)) {
            return file.readAll();
        }
    }
    return std::nullopt;
}

}  // namespace

ScreenWindow::ScreenWindow(const QString& title) : layout_(new QVBoxLayout(this)) {
    setWindowTitle(title);
    setAutoFillBackground(true);
    layout_->setContentsMargins(0, 0, 0, 0);
    layout_->setSpacing(0);
}

ScreenWindow::~ScreenWindow() = default;

void ScreenWindow::setElements(QWidget* elements) {
    elements_ = elements;
    layout_->addWidget(elements);
}

void ScreenWindow::setBackground(QWidget* background) {
    background_ = background;
    background->setParent(this);
    background->setGeometry(rect());
    background->lower();
    background->show();
}

void ScreenWindow::setContent(QWidget* content) {
    if (elements_) {
        elements_->hide();
    }
    if (background_) {
        background_->hide();
    }
    layout_->addWidget(content);
    content->show();
}

void ScreenWindow::addTapAction(std::function<void()> action) {
    tapActions_.push_back(std::move(action));
}

void ScreenWindow::setCloseRequestHandler(std::function<void()> handler) {
    closeRequestHandler_ = std::move(handler);
}

// Presses that no control took (on the background, a caption, the logo) end here.
void ScreenWindow::mousePressEvent(QMouseEvent* event) {
    event->accept();
}

void ScreenWindow::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !rect().contains(event->position().toPoint())) {
        return;
    }
    const auto actions = tapActions_;  // an action may add another
    for (const auto& action : actions) {
        action();
    }
}

void ScreenWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (background_) {
        background_->setGeometry(rect());
    }
}

// A window closed by hand takes the screen's own way out, at once: the screen decides whether it
// closes.
void ScreenWindow::closeEvent(QCloseEvent* event) {
    if (!closeRequestHandler_) {
        QWidget::closeEvent(event);
        return;
    }
    event->ignore();
    closeRequestHandler_();
}

BusyIndicator::BusyIndicator(QWidget* parent) : QWidget(parent) {
    setFixedSize(kIndicatorSize, kIndicatorSize);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAccessibleName(ownText(OwnText::busy));
    timer_.setInterval(kIndicatorStepMs);
    connect(&timer_, &QTimer::timeout, this, [this] {
        angle_ = (angle_ + kIndicatorStepDegrees) % 360;
        update();
    });
}

void BusyIndicator::setSpinning(bool spinning) {
    if (spinning) {
        timer_.start();
    } else {
        timer_.stop();
    }
}

void BusyIndicator::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const int inset = 5;
    const QRectF ring = QRectF(rect()).adjusted(inset, inset, -inset, -inset);
    QPen track(QColor(0, 0, 0, 40), 4);
    painter.setPen(track);
    painter.drawEllipse(ring);
    QPen arc(QColor(0x0f, 0x76, 0x6e), 4, Qt::SolidLine, Qt::RoundCap);
    painter.setPen(arc);
    // Angles in sixteenths of a degree, counter-clockwise from three o'clock.
    painter.drawArc(ring, -angle_ * 16, 100 * 16);
}

BarButton::BarButton(QWidget* parent) : QPushButton(parent) {
    setAutoDefault(true);
    setCursor(Qt::PointingHandCursor);
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

void BarButton::setColors(const QColor& enabled, const QColor& disabled) {
    enabled_ = enabled;
    disabled_ = disabled;
    update();
}

QRect BarButton::titleArea() const {
    return rect().adjusted(kTitleMarginX, kTitleMarginY, -kTitleMarginX, -kTitleMarginY);
}

QSize BarButton::sizeHint() const {
    const QSize title = fontMetrics().size(0, text());
    return {title.width() + 2 * kTitleMarginX, title.height() + 2 * kTitleMarginY};
}

// As narrow as its longest word, up to the widest it keeps a word whole.
QSize BarButton::minimumSizeHint() const {
    const int width =
        std::min(widestWord(fontMetrics(), text()) + 2 * kTitleMarginX, widestUnbroken_);
    return {width, fontMetrics().height() + 2 * kTitleMarginY};
}

void BarButton::setWidestUnbroken(int width) {
    if (width != widestUnbroken_) {
        widestUnbroken_ = width;
        updateGeometry();
    }
}

bool BarButton::hasHeightForWidth() const {
    return true;
}

int BarButton::heightForWidth(int width) const {
    const int titleWidth = std::max(1, width - 2 * kTitleMarginX);
    if (widestWord(fontMetrics(), text()) <= titleWidth) {
        const QRect needed =
            fontMetrics().boundingRect(QRect(0, 0, titleWidth, 1 << 20), kTitleFlags, text());
        return needed.height() + 2 * kTitleMarginY;
    }
    Wrapped title;
    wrap(title, text(), font(), titleWidth, Qt::AlignHCenter);
    return static_cast<int>(std::ceil(title.height)) + 2 * kTitleMarginY;
}

void BarButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor title = isEnabled() ? enabled_ : disabled_;
    if (isDown()) {
        QColor pressed = enabled_;
        pressed.setAlpha(40);
        painter.setPen(Qt::NoPen);
        painter.setBrush(pressed);
        painter.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 8, 8);
    }
    if (hasFocus()) {
        painter.setPen(QPen(enabled_, kFocusRing));
        painter.setBrush(Qt::NoBrush);
        const qreal inset = kFocusRing / 2.0;
        painter.drawRoundedRect(QRectF(rect()).adjusted(inset, inset, -inset, -inset), 8, 8);
    }
    painter.setPen(title);
    const QRect area = titleArea();
    if (widestWord(fontMetrics(), text()) <= area.width()) {
        painter.setFont(font());
        painter.drawText(area, kTitleFlags, text());
        return;
    }
    // A word wider than the button is broken over lines.
    Wrapped lines;
    wrap(lines, text(), font(), area.width(), Qt::AlignHCenter);
    lines.layout.draw(&painter,
                      QPointF(area.left(), area.top() + (area.height() - lines.height) / 2));
}

QStringList wrappedLines(const QString& text, const QFont& font, int width) {
    Wrapped wrapped;
    wrap(wrapped, text, font, width, Qt::AlignLeft);
    QStringList lines;
    for (int index = 0; index < wrapped.layout.lineCount(); ++index) {
        const QTextLine line = wrapped.layout.lineAt(index);
        lines.append(text.mid(line.textStart(), line.textLength()));
    }
    return lines;
}

WrappedLabel::WrappedLabel(QWidget* parent) : QLabel(parent) {
    setWordWrap(true);
    setTextFormat(Qt::PlainText);
}

void WrappedLabel::setWidestUnbroken(int width) {
    if (width != widestUnbroken_) {
        widestUnbroken_ = width;
        updateGeometry();
    }
}

QSize WrappedLabel::sizeHint() const {
    const int width = QLabel::sizeHint().width();
    return {width, heightForWidth(width)};
}

QSize WrappedLabel::minimumSizeHint() const {
    const QMargins margins = contentsMargins();
    const int width = std::min(widestWord(fontMetrics(), text()), widestUnbroken_) +
                      margins.left() + margins.right();
    return {width, heightForWidth(width)};
}

bool WrappedLabel::hasHeightForWidth() const {
    return true;
}

int WrappedLabel::heightForWidth(int width) const {
    const QMargins margins = contentsMargins();
    Wrapped wrapped;
    wrap(wrapped, text(), font(), width - margins.left() - margins.right(), alignment());
    return static_cast<int>(std::ceil(wrapped.height)) + margins.top() + margins.bottom();
}

void WrappedLabel::paintEvent(QPaintEvent*) {
    const QRect area = contentsRect();
    Wrapped wrapped;
    wrap(wrapped, text(), font(), area.width(), alignment());
    qreal top = area.top();
    if (alignment() & Qt::AlignBottom) {
        top = area.bottom() + 1 - wrapped.height;
    } else if (alignment() & Qt::AlignVCenter) {
        top = area.top() + (area.height() - wrapped.height) / 2;
    }
    QPainter painter(this);
    painter.setPen(palette().color(foregroundRole()));
    wrapped.layout.draw(&painter, QPointF(area.left(), top));
}

ImageBox::ImageBox(Fit fit, QWidget* parent) : QWidget(parent), fit_(fit) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

ImageBox::~ImageBox() = default;

bool ImageBox::setImage(const platform::ui::Image& image) {
    picture_ = QPixmap();
    drawing_.reset();
    bool read = false;
    if (image.isNamed()) {
        const auto bytes = namedImage(image.name());
        read = bytes && load(*bytes);
    } else {
        read = load(QByteArray::fromRawData(image.data().data(),
                                            static_cast<qsizetype>(image.data().size())));
    }
    update();
    return read;
}

bool ImageBox::hasImage() const {
    return drawing_ || !picture_.isNull();
}

std::optional<QColor> ImageBox::averageColor() const {
    if (!hasImage()) {
        return std::nullopt;
    }
    QImage small(kAverageSide, kAverageSide, QImage::Format_ARGB32_Premultiplied);
    small.fill(Qt::transparent);
    {
        QPainter painter(&small);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        if (drawing_) {
            drawing_->render(&painter, QRectF(small.rect()));
        } else {
            painter.drawPixmap(QRectF(small.rect()), picture_, QRectF(picture_.rect()));
        }
    }
    double red = 0;
    double green = 0;
    double blue = 0;
    double alpha = 0;
    for (int y = 0; y < small.height(); ++y) {
        for (int x = 0; x < small.width(); ++x) {
            const QRgb pixel = small.pixel(x, y);  // premultiplied colours come back straight
            const double weight = qAlpha(pixel) / 255.0;
            red += qRed(pixel) * weight;
            green += qGreen(pixel) * weight;
            blue += qBlue(pixel) * weight;
            alpha += weight;
        }
    }
    if (alpha <= 0) {
        return QColor(0, 0, 0, 0);
    }
    const double pixels = static_cast<double>(small.width()) * small.height();
    return QColor::fromRgbF(
        static_cast<float>(red / alpha / 255.0), static_cast<float>(green / alpha / 255.0),
        static_cast<float>(blue / alpha / 255.0), static_cast<float>(alpha / pixels));
}

bool ImageBox::load(const QByteArray& bytes) {
    if (bytes.contains("<svg")) {
        auto drawing = std::make_unique<QSvgRenderer>(bytes);
        if (drawing->isValid()) {
            drawing_ = std::move(drawing);
            return true;
        }
        return false;
    }
    return picture_.loadFromData(bytes);
}

QSizeF ImageBox::naturalSize() const {
    if (drawing_) {
        const QRectF box = drawing_->viewBoxF();
        return box.isEmpty() ? QSizeF(drawing_->defaultSize()) : box.size();
    }
    return picture_.deviceIndependentSize();
}

void ImageBox::paintEvent(QPaintEvent*) {
    const QSizeF natural = naturalSize();
    if (!hasImage() || natural.isEmpty()) {
        return;
    }
    const QSizeF scaled = natural.scaled(
        size(), fit_ == Fit::whole ? Qt::KeepAspectRatio : Qt::KeepAspectRatioByExpanding);
    const QRectF target(QPointF((width() - scaled.width()) / 2, (height() - scaled.height()) / 2),
                        scaled);
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setClipRect(rect());
    if (drawing_) {
        drawing_->render(&painter, target);
    } else {
        painter.drawPixmap(target, picture_, QRectF(picture_.rect()));
    }
}

}  // namespace vanto::qt::detail
