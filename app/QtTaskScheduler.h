// The component's scheduler on the window's event loop: calls run on the window's thread.
#pragma once

#include "TaskScheduler.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

class QtTaskScheduler : public TaskScheduler {
public:
    // Calls are bound to `context`: they run on its thread and are dropped once it is gone.
    explicit QtTaskScheduler(QObject* context) : m_context(context) {}
    void postDelayed(int delayMs, std::function<void()> call) override {
        if (!m_context)
            return;
        QTimer::singleShot(delayMs, m_context.data(), std::move(call));
    }

private:
    QPointer<QObject> m_context;
};
