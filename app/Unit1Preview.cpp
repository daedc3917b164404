// The main window's preview of the selected file and its volume track bar.
#include "MoviePlayerControl.h"
#include "Unit1.h"

#include <QLabel>
#include <QSlider>
#include <QToolButton>

void TForm1::attachPreview() {
    connect(ButtonPlay, &QToolButton::clicked, this, &TForm1::ButtonPlayClick);
    connect(ButtonPause, &QToolButton::clicked, this, &TForm1::ButtonPauseClick);
    connect(ButtonStop, &QToolButton::clicked, this, &TForm1::ButtonStopClick);
    connect(ListView1, &QTreeWidget::itemSelectionChanged, this, &TForm1::ListView1SelectItem);
}

void TForm1::ListView1SelectItem() {
    // Only a row becoming selected counts; losing the selection changes nothing.
    const int row = ListView1->selectedRow();
    if (row < 0)
        return;
    PreviewFile = QString::fromStdString(ListView1->Caption(row));
    if (row != PreviewIndex)
        StopPreview();
}

void TForm1::ButtonPlayClick() {
    if (Converting)
        return;
    const int row = ListView1->selectedRow();
    if (row < 0)
        return;
    PreviewIndex = row;
    // A paused file resumes where it was, so its name is not set again. A pause that did
    // not hold this file (Pause before anything played, or the paused row was removed and
    // another took its place) would otherwise resume the wrong file or nothing at all.
    if (!PreviewPaused || m_player->FileName() != PreviewFile)
        m_player->setFileName(PreviewFile);
    PreviewPaused = false;
    m_player->Play();
}

void TForm1::ButtonPauseClick() {
    if (Converting)
        return;
    PreviewPaused = true;
    m_player->Pause();
}

void TForm1::ButtonStopClick() {
    if (Converting)
        return;
    StopPreview();
}

void TForm1::StopPreview() {
    m_player->Stop();
    PreviewPaused = false;
}

void TForm1::TrackBar1Change() {
    // The position first, then the table's percentage; a position outside the table (the
    // slider's range forbids it) keeps the position and the volume as they are.
    const int position = TrackBar1->value();
    LabelVolume->setText(QString::number(position));
    if (position < 0 || position >= static_cast<int>(VolumeSteps.size()))
        return;
    const VolumeStep& step = VolumeSteps[static_cast<size_t>(position)];
    LabelVolume->setText(QString::number(step.Percent) + QLatin1Char('%'));
    // A screen reader reads the volume, not the position.
    TrackBar1->setAccessibleDescription(LabelVolume->text());
    VolumeValue = step.VolumeValue;
}
