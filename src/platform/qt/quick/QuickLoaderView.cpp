// SPDX-License-Identifier: GPL-3.0-or-later
#include "QuickLoaderView.h"

#include <QFontMetricsF>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QQuickPaintedItem>
#include <QTimer>

#include "QuickGeometry.h"
#include "platform/qt/l10n/Translations.h"

namespace lirra {

namespace {

// How the loader looks: a wheel of twelve spokes, the leading one darkest, on a light background
// with a one-line label under it and a Cancel button under the label.
constexpr int kLoaderSpokes = 12;
constexpr int kLoaderWheelDiameter = 40;
constexpr int kLoaderStepMs = 80;
constexpr int kLoaderLabelGap = 12;  // between the wheel and the label, the label and the button
constexpr int kLoaderButtonPadding = 16;  // around the button's text, left and right
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

// The Cancel button: a click released over it runs the action.
class LoaderButton : public QQuickPaintedItem {
  public:
    LoaderButton(QQuickItem* parent, const QFont& font) : QQuickPaintedItem(parent), font_(font) {
        setAcceptedMouseButtons(Qt::LeftButton);
        const QFontMetricsF metrics(font_);
        setSize(QSizeF(metrics.horizontalAdvance(text()) + 2 * kLoaderButtonPadding,
                       metrics.height() * 1.8));
        setVisible(false);
    }
    static QString text() { return shownText(QStringLiteral("Cancel")); }
    std::function<void()> clicked;

    void paint(QPainter* painter) override {
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(QPen(kLoaderInk, 1));
        painter->setBrush(pressed_ ? kLoaderInk.lighter(260) : Qt::white);
        painter->drawRoundedRect(QRectF(0.5, 0.5, width() - 1, height() - 1), 4, 4);
        painter->setFont(font_);
        painter->drawText(QRectF(QPointF(0, 0), size()), Qt::AlignCenter, text());
    }

  protected:
    void mousePressEvent(QMouseEvent* event) override {
        event->accept();
        pressed_ = true;
        update();
    }
    void mouseReleaseEvent(QMouseEvent* event) override {
        event->accept();
        pressed_ = false;
        update();
        if (contains(event->position()) && clicked) clicked();
    }

  private:
    QFont font_;
    bool pressed_ = false;
};

// The background and the label, with the wheel above the label and the button under it, all
// centred. Escape cancels too, while the button shows.
class LoaderBackdrop : public QQuickPaintedItem {
  public:
    LoaderBackdrop() : wheel_(new LoaderWheel(this)), font_(loaderFont()) {
        setOpaquePainting(true);
        button_ = new LoaderButton(this, font_);
        button_->clicked = [this] { cancel(); };
        QObject::connect(this, &QQuickItem::widthChanged, this, [this] { place(); });
        QObject::connect(this, &QQuickItem::heightChanged, this, [this] { place(); });
    }
    LoaderWheel& wheel() { return *wheel_; }
    LoaderButton& button() { return *button_; }
    void setCancelAction(std::function<void()> action) { action_ = std::move(action); }
    void setCancelHidden(bool hidden) {
        button_->setVisible(!hidden);
        // Escape is the loader's while it offers Cancel: it takes the keys when on screen.
        if (!hidden && isVisible()) forceActiveFocus(Qt::OtherFocusReason);
        if (hidden && hasFocus()) setFocus(false);
    }
    void cancel() {
        if (button_->isVisible() && action_) action_();
    }
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

  protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (event->key() == Qt::Key_Escape && button_->isVisible()) {
            event->accept();
            cancel();
        } else {
            event->ignore();
        }
    }

  private:
    static QFont loaderFont() {
        QFont font = QGuiApplication::font();
        font.setPointSizeF(font.pointSizeF() * 1.2);
        return font;
    }
    // The wheel, the label and the button keep their places whether or not each shows.
    double labelTop() const {
        const double block = kLoaderWheelDiameter + kLoaderLabelGap +
                             QFontMetricsF(font_).height() + kLoaderLabelGap + button_->height();
        return (height() - block) / 2 + kLoaderWheelDiameter + kLoaderLabelGap;
    }
    void place() {
        const double top = labelTop() - kLoaderLabelGap - kLoaderWheelDiameter;
        wheel_->setPosition(QPointF((width() - kLoaderWheelDiameter) / 2, top));
        button_->setPosition(QPointF((width() - button_->width()) / 2,
                                     labelTop() + QFontMetricsF(font_).height() + kLoaderLabelGap));
        update();
    }

    LoaderWheel* wheel_;
    LoaderButton* button_ = nullptr;
    std::function<void()> action_;
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
    if (backdrop_) backdrop_->setText(shownText(text));
}

void QuickLoaderView::setLabelHidden(bool hidden) {
    labelHidden_ = hidden;
    if (backdrop_) backdrop_->setTextHidden(hidden);
}

void QuickLoaderView::setCancelAction(std::function<void()> action) {
    if (backdrop_) backdrop_->setCancelAction(std::move(action));
}

bool QuickLoaderView::isCancelHidden() const {
    return !backdrop_ || !backdrop_->button().isVisible();
}

void QuickLoaderView::setCancelHidden(bool hidden) {
    if (backdrop_) backdrop_->setCancelHidden(hidden);
}

QQuickItem* QuickLoaderView::cancelButton() const {
    return backdrop_ ? &backdrop_->button() : nullptr;
}

}  // namespace lirra
