// A message box for tests: records every text shown and answers questions from a script.
#pragma once

#include "MessageBox.h"

#include <QStringList>
#include <deque>

class ScriptedMessageBox : public MessageBox {
public:
    struct Shown {
        enum class Kind { Information, Warning, Question } kind;
        QString text;
        QString title;
    };

    // Answers for the coming questions, first in first out; with none left the answer is
    // `defaultAnswer()`.
    void scriptAnswer(bool yes) { m_answers.push_back(yes); }
    void setDefaultAnswer(bool yes) { m_defaultAnswer = yes; }
    bool defaultAnswer() const { return m_defaultAnswer; }

    void information(const QString& text) override {
        m_shown.push_back({Shown::Kind::Information, text, QString::fromLatin1(kCaption)});
    }
    void warning(const QString& text) override {
        m_shown.push_back({Shown::Kind::Warning, text, QString::fromLatin1(kCaption)});
    }
    using MessageBox::question;
    bool question(const QString& text, const QString& title) override {
        m_shown.push_back({Shown::Kind::Question, text, title});
        if (m_answers.empty())
            return m_defaultAnswer;
        const bool answer = m_answers.front();
        m_answers.pop_front();
        return answer;
    }

    const std::deque<Shown>& shown() const { return m_shown; }
    // The texts in the order shown, both kinds.
    QStringList texts() const {
        QStringList all;
        for (const Shown& s : m_shown)
            all << s.text;
        return all;
    }
    std::size_t unusedAnswers() const { return m_answers.size(); }
    void clear() { m_shown.clear(); }

private:
    std::deque<Shown> m_shown;
    std::deque<bool> m_answers;
    bool m_defaultAnswer = false;
};
