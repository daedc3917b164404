// Message boxes the window shows the user, behind an interface so tests can script answers.
#pragma once

#include <QString>

class QWidget;

class MessageBox {
public:
    // Every user message carries this caption.
    static constexpr const char* kCaption = "Information";

    virtual ~MessageBox() = default;
    // The information icon and an OK button; returns when the user has closed it.
    virtual void information(const QString& text) = 0;
    // As information, with the warning icon: something did not go as the user wanted.
    virtual void warning(const QString& text) = 0;
    // The question icon with Yes and No under the given title; true when the answer is Yes
    // (closing the box any other way counts as No).
    virtual bool question(const QString& text, const QString& title) = 0;
    // A question under the usual caption.
    bool question(const QString& text) { return question(text, QString::fromLatin1(kCaption)); }
    // A question whose two answers are named by their buttons ("Stop and quit", "Keep
    // converting"); true for the first. Closing the box any other way counts as the second.
    // Stand-ins without buttons of their own answer it as the Yes/No question.
    virtual bool confirm(const QString& text, const QString& acceptText,
                         const QString& rejectText) {
        return question(text);
    }
};
