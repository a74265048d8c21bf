#include "QtLoaderView.h"

#include <QLabel>
#include <QPainter>
#include <QTimer>
#include <QVBoxLayout>

#include "ScreenGeometry.h"
#include "platform/qt/quick/LoaderLook.h"

namespace lirra {

SpinningWheel::SpinningWheel(QWidget* parent) : QWidget(parent), timer_(new QTimer(this)) {
    setFixedSize(kDiameter, kDiameter);
    timer_->setInterval(kStepMs);
    QObject::connect(timer_, &QTimer::timeout, this, [this] {
        step_ = (step_ + 1) % kLoaderSpokes;
        update();
    });
    hide();
}

void SpinningWheel::start() {
    show();
    timer_->start();
}

void SpinningWheel::stop() {
    timer_->stop();
    hide();
}

bool SpinningWheel::isAnimating() const { return timer_->isActive(); }

void SpinningWheel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.translate(width() / 2.0, height() / 2.0);
    paintLoaderWheel(painter, step_);
}

QtLoaderView::QtLoaderView() : root_(new QWidget) {
    root_->setAutoFillBackground(true);
    QPalette palette = root_->palette();
    palette.setColor(QPalette::Window, kLoaderBackground);
    palette.setColor(QPalette::WindowText, kLoaderInk);
    root_->setPalette(palette);

    wheel_ = new SpinningWheel(root_);
    label_ = new QLabel(root_);
    label_->setAlignment(Qt::AlignHCenter);
    label_->setTextFormat(Qt::PlainText);
    QFont font = label_->font();
    font.setPointSizeF(font.pointSizeF() * 1.2);
    label_->setFont(font);

    auto* layout = new QVBoxLayout(root_);
    layout->addStretch(1);
    layout->addWidget(wheel_, 0, Qt::AlignHCenter);
    layout->addSpacing(kLoaderLabelGap);
    layout->addWidget(label_, 0, Qt::AlignHCenter);
    layout->addStretch(1);
    // Both keep their places while hidden, so nothing jumps.
    for (QWidget* part : {static_cast<QWidget*>(wheel_), static_cast<QWidget*>(label_)}) {
        QSizePolicy keep = part->sizePolicy();
        keep.setRetainSizeWhenHidden(true);
        part->setSizePolicy(keep);
    }
}

QtLoaderView::~QtLoaderView() { delete root_.data(); }

Rect QtLoaderView::frame() const { return root_ ? frameInParent(*root_) : Rect{}; }

void QtLoaderView::setFrame(const Rect& frame) {
    if (root_) setFrameInParent(*root_, frame);
}

void QtLoaderView::setHidden(bool hidden) {
    hidden_ = hidden;
    if (root_) root_->setHidden(hidden);
}

void QtLoaderView::startAnimation() {
    if (wheel_) wheel_->start();
}

void QtLoaderView::stopAnimation() {
    if (wheel_) wheel_->stop();
}

bool QtLoaderView::isAnimating() const { return wheel_ && wheel_->isAnimating(); }

QString QtLoaderView::labelText() const { return label_ ? label_->text() : QString(); }

void QtLoaderView::setLabelText(const QString& text) {
    if (label_) label_->setText(text);
}

bool QtLoaderView::isLabelHidden() const { return labelHidden_; }

void QtLoaderView::setLabelHidden(bool hidden) {
    labelHidden_ = hidden;
    if (label_) label_->setHidden(hidden);
}

}  // namespace lirra
