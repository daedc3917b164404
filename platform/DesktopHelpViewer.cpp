// Opening the HTML help with the desktop's browser.
#include "DesktopHelpViewer.h"

#include "MessageBox.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

DesktopHelpViewer::DesktopHelpViewer(MessageBox& messages, QString helpFilePath, UrlOpener opener)
    : m_messages(messages), m_helpFilePath(std::move(helpFilePath)),
      m_opener(opener ? std::move(opener)
                      : UrlOpener([](const QUrl& url) { return QDesktopServices::openUrl(url); })) {
}

void DesktopHelpViewer::openHelp() {
    const QFileInfo file(m_helpFilePath);
    if (!file.isFile()) {
        m_messages.information(missingText(QDir::toNativeSeparators(m_helpFilePath)));
        return;
    }
    if (!m_opener(QUrl::fromLocalFile(file.absoluteFilePath())))
        m_messages.information(notOpenedText(QDir::toNativeSeparators(m_helpFilePath)));
}

QString DesktopHelpViewer::findHelpFile() {
    const QString programFolder = QCoreApplication::applicationDirPath();
    const QString fileName = QString::fromLatin1(kHelpFileName);
    const QString beside = QDir(programFolder).filePath(fileName);
    if (QFileInfo(beside).isFile())
        return beside;
    const QString installed =
        QDir::cleanPath(programFolder + QStringLiteral("/../share/vidbrisk/") + fileName);
    if (QFileInfo(installed).isFile())
        return installed;
    return beside;
}

QString DesktopHelpViewer::missingText(const QString& path) {
    return QStringLiteral("The help file \"%1\" cannot be found.").arg(path);
}

QString DesktopHelpViewer::notOpenedText(const QString& path) {
    return QStringLiteral("The help file \"%1\" could not be opened: no program to show it was "
                          "found.")
        .arg(path);
}
