// Showing the HTML help in the program's own help window.
#include "HelpFileViewer.h"

#include "HelpWindow.h"
#include "MessageBox.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

HelpFileViewer::HelpFileViewer(MessageBox& messages, QString helpFilePath, QWidget* owner)
    : m_messages(messages), m_helpFilePath(std::move(helpFilePath)), m_owner(owner) {}

HelpFileViewer::~HelpFileViewer() {
    // A window without an owner is the viewer's own.
    if (m_window && !m_owner)
        delete m_window;
}

void HelpFileViewer::openHelp() {
    const QFileInfo file(m_helpFilePath);
    if (!file.isFile()) {
        m_messages.information(missingText(QDir::toNativeSeparators(m_helpFilePath)));
        return;
    }
    if (!showInWindow(file.absoluteFilePath()))
        m_messages.information(notOpenedText(QDir::toNativeSeparators(m_helpFilePath)));
}

bool HelpFileViewer::showInWindow(const QString& path) {
    if (!m_window)
        m_window = new HelpWindow(m_owner);
    if (!m_window->showFile(path))
        return false;
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
    return true;
}

QString HelpFileViewer::findHelpFile() {
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

QString HelpFileViewer::missingText(const QString& path) {
    return QStringLiteral("The help file \"%1\" cannot be found.").arg(path);
}

QString HelpFileViewer::notOpenedText(const QString& path) {
    return QStringLiteral("The help file \"%1\" could not be read.").arg(path);
}
