// The help viewer on the desktop's browser: opens the HTML help shipped with the program
// through QDesktopServices, with a message when the file is missing or will not open.
#pragma once

#include "HelpViewer.h"

#include <QString>
#include <functional>

class MessageBox;
class QUrl;

class DesktopHelpViewer : public HelpViewer {
public:
    // The help file's name.
    static constexpr const char* kHelpFileName = "help.html";
    // Hands a URL to the desktop; true when it was taken. The default is
    // QDesktopServices::openUrl; tests put a script in its place.
    using UrlOpener = std::function<bool(const QUrl&)>;

    DesktopHelpViewer(MessageBox& messages, QString helpFilePath, UrlOpener opener = {});
    void openHelp() override;

    const QString& helpFilePath() const { return m_helpFilePath; }

    // Where the help is: beside the program, else in the installed data folder
    // (<prefix>/share/vidbrisk beside <prefix>/bin); the first path when neither exists.
    static QString findHelpFile();
    // The texts shown when the help cannot be shown.
    static QString missingText(const QString& path);
    static QString notOpenedText(const QString& path);

private:
    MessageBox& m_messages;
    QString m_helpFilePath;
    UrlOpener m_opener;
};
