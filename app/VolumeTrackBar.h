// The volume track bar: a vertical slider whose position 0 (the loudest) is at the top.
// Up, Right, Page Up and the wheel turned away from the user raise the volume, one position
// per key press or wheel notch; a click on the groove moves one page towards the click. Styles
// that fill the groove fill it from the bottom up to the handle, so the fill grows with the
// volume.
#pragma once

#include <QSlider>

class VolumeTrackBar : public QSlider {
    Q_OBJECT
public:
    explicit VolumeTrackBar(QWidget* parent = nullptr);

protected:
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    int m_wheelAngle = 0; // eighths of a degree not yet turned into a step
};
