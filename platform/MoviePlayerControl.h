// The preview player as the window uses it: a file name, play, stop and pause. Behind an
// interface so tests can follow the calls without playing anything.
#pragma once

#include <QString>

class MoviePlayerControl {
public:
    virtual ~MoviePlayerControl() = default;
    // The file to play; setting it loads the file and stops what was playing.
    virtual QString FileName() const = 0;
    virtual void setFileName(const QString& fileName) = 0;
    // Starts playing the file, or resumes it after a pause.
    virtual void Play() = 0;
    // Stops playing and goes back to the start.
    virtual void Stop() = 0;
    // Holds the picture where it is; Play goes on from there.
    virtual void Pause() = 0;
};
