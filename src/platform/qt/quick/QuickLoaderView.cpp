#include "QuickLoaderView.h"

#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPainter>
#include <QQuickPaintedItem>
#include <QTimer>

#include "QuickGeometry.h"

namespace lirra {

namespace {

// How the loader looks: a wheel of twelve spokes, the leading one darkest, on a light background
// with a one-line label under it.
constexpr int kLoaderSpokes = 12;
constexpr int kLoaderWheelDiameter = 40;
constexpr int kLoaderStepMs = 80;
constexpr int kLoaderLabelGap = 12;  // between the wheel and the label
const QColor kLoaderBackground(0xf4, 0xf4, 0xf4);
const QColor kLoaderInk(0x55, 0x55, 0x55);

// Paints the wheel at `step` centred on the painter's origin.
void paintLoaderWheel(QPainter& painter, int step) {
    painter.setRenderHint(QPainter::Antialiasing);
    const double outer = kLoaderWheelDiameter / 2.0 - 2;
    const double inner = outer * 0.45;
    for (int i = 0; i < kLoaderSpokes; ++i) {
        // The spoke at the current step is darkest; those behind it fade.
        const int age = (step - i + kLoaderSpokes) % kLoaderSpokes;
        QColor color = kLoaderInk;
        color.setAlphaF(1.0 - 0.8 * age / double(kLoaderSpokes - 1));
        painter.setPen(QPen(color, kLoaderWheelDiameter / 12.0, Qt::SolidLine, Qt::RoundCap));
        painter.save();
        painter.rotate(i * 360.0 / kLoaderSpokes);
        painter.drawLine(QPointF(0, -inner), QPointF(0, -outer));
        painter.restore();
    }
}

}  // namespace

// The wheel alone, repainted at each step: a small item, so a step repaints little.
class LoaderWheel : public QQuickPaintedItem {
  public:
    explicit LoaderWheel(QQuickItem* parent) : QQuickPaintedItem(parent) {
        setSize(QSizeF(kLoaderWheelDiameter, kLoaderWheelDiameter));
        setVisible(false);
        timer_.setInterval(kLoaderStepMs);
        QObject::connect(&timer_, &QTimer::timeout, this, [this] {
            step_ = (step_ + 1) % kLoaderSpokes;
            update();
        });
    }
    void start() {
        setVisible(true);
        timer_.start();
    }
    void stop() {
        timer_.stop();
        setVisible(false);
    }
    bool isAnimating() const { return timer_.isActive(); }
    int step() const { return step_; }

    void paint(QPainter* painter) override {
        painter->translate(width() / 2.0, height() / 2.0);
        paintLoaderWheel(*painter, step_);
    }

  private:
    QTimer timer_;
    int step_ = 0;
};

// The background and the label, with the wheel above the label, both centred.
class LoaderBackdrop : public QQuickPaintedItem {
  public:
    LoaderBackdrop() : wheel_(new LoaderWheel(this)) {
        setOpaquePainting(true);
        font_ = QGuiApplication::font();
        font_.setPointSizeF(font_.pointSizeF() * 1.2);
        QObject::connect(this, &QQuickItem::widthChanged, this, [this] { place(); });
        QObject::connect(this, &QQuickItem::heightChanged, this, [this] { place(); });
    }
    LoaderWheel& wheel() { return *wheel_; }
    QString text() const { return text_; }
    void setText(const QString& text) {
        text_ = text;
        update();
    }
    void setTextHidden(bool hidden) {
        textHidden_ = hidden;
        update();
    }

    void paint(QPainter* painter) override {
        painter->fillRect(QRectF(QPointF(0, 0), size()), kLoaderBackground);
        if (textHidden_ || text_.isEmpty()) return;
        painter->setFont(font_);
        painter->setPen(kLoaderInk);
        const QRectF line(0, labelTop(), width(), QFontMetricsF(font_).height());
        painter->drawText(line, Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine, text_);
    }

  private:
    // The wheel and the label keep their places whether or not either shows.
    double labelTop() const {
        const double block = kLoaderWheelDiameter + kLoaderLabelGap + QFontMetricsF(font_).height();
        return (height() - block) / 2 + kLoaderWheelDiameter + kLoaderLabelGap;
    }
    void place() {
        const double top = labelTop() - kLoaderLabelGap - kLoaderWheelDiameter;
        wheel_->setPosition(QPointF((width() - kLoaderWheelDiameter) / 2, top));
        update();
    }

    LoaderWheel* wheel_;
    QFont font_;
    QString text_;
    bool textHidden_ = false;
};

QuickLoaderView::QuickLoaderView() : backdrop_(new LoaderBackdrop) {}

QuickLoaderView::~QuickLoaderView() { delete backdrop_.data(); }

QQuickItem* QuickLoaderView::item() { return backdrop_; }

Rect QuickLoaderView::frame() const { return backdrop_ ? itemFrame(*backdrop_) : Rect{}; }

void QuickLoaderView::setFrame(const Rect& frame) {
    if (backdrop_) setItemFrame(*backdrop_, frame);
}

void QuickLoaderView::setHidden(bool hidden) {
    hidden_ = hidden;
    if (backdrop_) backdrop_->setVisible(!hidden);
}

void QuickLoaderView::startAnimation() {
    if (backdrop_) backdrop_->wheel().start();
}

void QuickLoaderView::stopAnimation() {
    if (backdrop_) backdrop_->wheel().stop();
}

bool QuickLoaderView::isAnimating() const { return backdrop_ && backdrop_->wheel().isAnimating(); }

int QuickLoaderView::wheelStep() const { return backdrop_ ? backdrop_->wheel().step() : 0; }

QString QuickLoaderView::labelText() const { return backdrop_ ? backdrop_->text() : QString(); }

void QuickLoaderView::setLabelText(const QString& text) {
    if (backdrop_) backdrop_->setText(text);
}

void QuickLoaderView::setLabelHidden(bool hidden) {
    labelHidden_ = hidden;
    if (backdrop_) backdrop_->setTextHidden(hidden);
}

}  // namespace lirra
