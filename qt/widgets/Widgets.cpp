#include "Widgets.h"

#include <QCloseEvent>
#include <QFile>
#include <QMouseEvent>
#include <QPainter>
#include <QSvgRenderer>
#include <QVBoxLayout>

#include "base/QtValues.h"

namespace vanto::qt::detail {
namespace {

constexpr int kIndicatorSize = 40;
constexpr int kIndicatorStepMs = 40;
constexpr int kIndicatorStepDegrees = 24;

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
    setAccessibleName(QStringLiteral("Procesando"));
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
