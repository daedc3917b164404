// The main window's preview of the selected file and its volume track bar.
#include "Unit1.h"

#include <QLabel>
#include <QSlider>

void TForm1::attachPreview() {}

void TForm1::ListView1SelectItem() {}
void TForm1::ButtonPlayClick() {}
void TForm1::ButtonPauseClick() {}
void TForm1::ButtonStopClick() {}

void TForm1::TrackBar1Change() {
    // Position 5 is the designed default: 100%, the engine's neutral volume 256 - 1.
    if (TrackBar1->value() == 5) {
        LabelVolume->setText(QStringLiteral("100%"));
        VolumeValue = 255;
    }
}
