// The preview player on Qt Multimedia: a QMediaPlayer showing its picture in a QVideoWidget
// that fills this widget, with sound through a QAudioOutput when the machine has a device.
#pragma once

#include "MoviePlayerControl.h"

#include <QWidget>

class QAudioOutput;
class QMediaPlayer;
class QVideoWidget;

class TMoviePlayer : public QWidget, public MoviePlayerControl {
    Q_OBJECT

public:
    explicit TMoviePlayer(QWidget* parent = nullptr);
    ~TMoviePlayer() override;

    QString FileName() const override { return m_fileName; }
    void setFileName(const QString& fileName) override;
    void Play() override;
    void Stop() override;
    void Pause() override;

    // The player underneath, for its state and signals.
    QMediaPlayer* mediaPlayer() const { return m_player; }
    // Whether sound is played (false on a machine without an audio device).
    bool hasAudioOutput() const { return m_audio != nullptr; }

    // Chooses Qt's FFmpeg media back end, which decodes with the same media libraries as
    // the converter, unless QT_MEDIA_BACKEND already names one. It takes effect only before
    // the first media object of the process exists; the constructor calls it.
    static void preferMediaBackend();

private:
    // Attaches a sound output once the machine has an audio device. The FFmpeg back end
    // of Qt 6.4 crashes in its audio thread when a file with sound plays into an output
    // that has no device behind it, so without a device the preview stays silent.
    void attachAudioWhenAvailable();

    QString m_fileName;
    QMediaPlayer* m_player = nullptr; // child of this widget
    QVideoWidget* m_video = nullptr;  // child of this widget
    QAudioOutput* m_audio = nullptr;  // child of this widget; null without a device
};
