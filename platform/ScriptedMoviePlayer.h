// A preview player for tests: records every call in order.
#pragma once

#include "MoviePlayerControl.h"

#include <QStringList>

class ScriptedMoviePlayer : public MoviePlayerControl {
public:
    QString FileName() const override { return m_fileName; }
    void setFileName(const QString& fileName) override {
        m_fileName = fileName;
        m_calls << QStringLiteral("FileName=") + fileName;
    }
    void Play() override { m_calls << QStringLiteral("Play"); }
    void Stop() override { m_calls << QStringLiteral("Stop"); }
    void Pause() override { m_calls << QStringLiteral("Pause"); }

    // "FileName=<name>", "Play", "Stop", "Pause" in the order called.
    const QStringList& calls() const { return m_calls; }
    void clearCalls() { m_calls.clear(); }

private:
    QString m_fileName;
    QStringList m_calls;
};
