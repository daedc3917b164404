#include "VolumeTrackBar.h"

#include <QMouseEvent>
#include <QStylePainter>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QWheelEvent>

namespace {
constexpr int kWheelNotch = 120; // angle delta of one wheel notch
}

VolumeTrackBar::VolumeTrackBar(QWidget* parent) : QSlider(Qt::Vertical, parent) {
    // Higher positions are quieter: drawn from the top, and keys and wheel inverted so that
    // "up" means louder.
    setInvertedAppearance(true);
    setInvertedControls(true);
    setSingleStep(1);
    setPageStep(2);
    setFocusPolicy(Qt::StrongFocus);
}

void VolumeTrackBar::wheelEvent(QWheelEvent* event) {
    // One position per notch, whatever the desktop's lines-per-notch setting.
    m_wheelAngle += event->angleDelta().y();
    while (m_wheelAngle >= kWheelNotch) {
        m_wheelAngle -= kWheelNotch;
        triggerAction(SliderSingleStepSub);
    }
    while (m_wheelAngle <= -kWheelNotch) {
        m_wheelAngle += kWheelNotch;
        triggerAction(SliderSingleStepAdd);
    }
    event->accept();
}

void VolumeTrackBar::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QSlider::mousePressEvent(event);
        return;
    }
    QStyleOptionSlider option;
    initStyleOption(&option);
    const QRect handle =
        style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
    if (handle.contains(event->position().toPoint())) {
        QSlider::mousePressEvent(event); // dragging the handle
        return;
    }
    // Some styles jump straight to the clicked position; here a click moves one page.
    // Position 0 is at the top, so a click above the handle lowers the position.
    const bool above = event->position().y() < handle.top();
    triggerAction(above ? SliderPageStepSub : SliderPageStepAdd);
    event->accept();
}

void VolumeTrackBar::paintEvent(QPaintEvent*) {
    // A style fills the groove from the minimum to the handle; the minimum is at the top
    // here, which would fill the part above the handle, growing as the volume drops. Drawn
    // as the mirror image of a slider with its minimum at the bottom, the handle stays where
    // it is and the fill lies below it.
    QStylePainter painter(this);
    QStyleOptionSlider option;
    initStyleOption(&option);
    option.upsideDown = !option.upsideDown;
    option.sliderPosition = maximum() + minimum() - option.sliderPosition;
    option.sliderValue = maximum() + minimum() - option.sliderValue;
    option.subControls = QStyle::SC_SliderGroove | QStyle::SC_SliderHandle;
    if (tickPosition() != NoTicks)
        option.subControls |= QStyle::SC_SliderTickmarks;
    painter.drawComplexControl(QStyle::CC_Slider, option);
}
