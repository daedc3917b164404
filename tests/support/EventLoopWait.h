// Waiting in a test for something the event loop brings about (a run that ends, a window
// that shows), with a generous limit so a hung run fails instead of blocking the suite.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

// Runs the event loop until `done` holds; false after a minute.
template <class Predicate> bool waitForEvents(Predicate done) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > 60000)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(2);
    }
    return true;
}
