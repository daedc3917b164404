// The preview player on QMediaPlayer, QVideoWidget and QAudioOutput.
#include "TMoviePlayer.h"

#include <QAudioDevice>
#include <QAudioOutput>
#include <QMediaDevices>
#include <QMediaPlayer>
#include <QUrl>
#include <QVBoxLayout>
#include <QVideoWidget>

void TMoviePlayer::preferMediaBackend() {
    if (qEnvironmentVariableIsEmpty("QT_MEDIA_BACKEND"))
        qputenv("QT_MEDIA_BACKEND", "ffmpeg");
}

TMoviePlayer::TMoviePlayer(QWidget* parent) : QWidget(parent) {
    preferMediaBackend();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_video = new QVideoWidget(this);
    layout->addWidget(m_video);
    m_player = new QMediaPlayer(this);
    m_player->setVideoOutput(m_video);
    attachAudioWhenAvailable();
}

TMoviePlayer::~TMoviePlayer() {
    // Stop before the outputs go, so no frame or sample is delivered to a dying child.
    m_player->stop();
    m_player->setVideoOutput(nullptr);
    m_player->setAudioOutput(nullptr);
}

void TMoviePlayer::attachAudioWhenAvailable() {
    if (m_audio || QMediaDevices::audioOutputs().isEmpty())
        return;
    m_audio = new QAudioOutput(this);
    m_player->setAudioOutput(m_audio);
}

void TMoviePlayer::setFileName(const QString& fileName) {
    m_fileName = fileName;
    m_player->stop();
    attachAudioWhenAvailable();
    m_player->setSource(fileName.isEmpty() ? QUrl() : QUrl::fromLocalFile(fileName));
}

void TMoviePlayer::Play() {
    attachAudioWhenAvailable();
    m_player->play();
}

void TMoviePlayer::Stop() {
    m_player->stop();
}

void TMoviePlayer::Pause() {
    m_player->pause();
}
