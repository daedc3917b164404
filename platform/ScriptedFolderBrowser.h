// A folder browser for tests: answers from a script and counts how often it was asked.
#pragma once

#include "FolderBrowser.h"

#include <deque>

class ScriptedFolderBrowser : public FolderBrowser {
public:
    // The next answers, first in first out; an empty text stands for Cancel. With none
    // left the browser is cancelled.
    void scriptFolder(const QString& folder) { m_answers.push_back(folder); }
    void scriptCancel() { m_answers.push_back(QString()); }

    std::optional<QString> browse() override {
        ++m_calls;
        if (m_answers.empty())
            return std::nullopt;
        const QString folder = m_answers.front();
        m_answers.pop_front();
        if (folder.isEmpty())
            return std::nullopt;
        return folder;
    }
    int calls() const { return m_calls; }

private:
    std::deque<QString> m_answers;
    int m_calls = 0;
};
