// The output-folder browser on QFileDialog, remembering the last folder chosen.
#include "QtFolderBrowser.h"

#include <QDir>
#include <QFileDialog>

namespace {
QString runFolderDialog(QWidget* owner, const QString& caption, const QString& startFolder) {
    return QFileDialog::getExistingDirectory(owner, caption, startFolder,
                                             QFileDialog::ShowDirsOnly);
}
} // namespace

QtFolderBrowser::QtFolderBrowser(QWidget* owner, DialogFunction dialog)
    : m_owner(owner), m_dialog(dialog ? std::move(dialog) : DialogFunction(runFolderDialog)) {}

std::optional<QString> QtFolderBrowser::browse() {
    const QString chosen = m_dialog(m_owner.data(), QString::fromLatin1(kCaption), m_lastFolder);
    if (chosen.isEmpty())
        return std::nullopt;
    // Native separators and no trailing slash, so the folder reads the same in the window
    // whichever dialog returned it.
    m_lastFolder = QDir::toNativeSeparators(QDir::cleanPath(chosen));
    return m_lastFolder;
}
