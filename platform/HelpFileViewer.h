// The help viewer: shows the HTML help shipped with the program in a help window of the
// program's own (a text browser over the file), so the help shows on any desktop, with or
// without a web browser, and while a conversion runs; tells the user when the file is
// missing or cannot be read.
#pragma once

#include "HelpViewer.h"
#include "HelpWindow.h"

#include <QPointer>
#include <QString>

class MessageBox;
class QWidget;

class HelpFileViewer : public HelpViewer {
public:
    // The help file's name.
    static constexpr const char* kHelpFileName = "help.html";
    // The help window belongs to `owner` (it closes with it); owner may be null.
    HelpFileViewer(MessageBox& messages, QString helpFilePath, QWidget* owner = nullptr);
    ~HelpFileViewer() override;
    void openHelp() override;

    const QString& helpFilePath() const { return m_helpFilePath; }
    // The help window once the help was shown in it, else null.
    HelpWindow* window() const { return m_window; }

    // Where the help is: beside the program, else in the installed data folder
    // (<prefix>/share/vidbrisk beside <prefix>/bin); the first path when neither exists.
    static QString findHelpFile();
    // The texts shown when the help cannot be shown.
    static QString missingText(const QString& path);
    static QString notOpenedText(const QString& path);

private:
    // True when the file is shown.
    bool showInWindow(const QString& path);

    MessageBox& m_messages;
    QString m_helpFilePath;
    QPointer<QWidget> m_owner;
    QPointer<HelpWindow> m_window; // window's thread only
};
