// The output-folder browser on QFileDialog::getExistingDirectory; it opens at the folder
// chosen last during this run of the program.
#pragma once

#include "FolderBrowser.h"

#include <QPointer>
#include <functional>

class QtFolderBrowser : public FolderBrowser {
public:
    // The dialog call: owner, caption and start folder in, the folder chosen out (empty
    // when cancelled). The default is QFileDialog::getExistingDirectory showing folders
    // only; tests put a script in its place.
    using DialogFunction =
        std::function<QString(QWidget* owner, const QString& caption, const QString& startFolder)>;

    explicit QtFolderBrowser(QWidget* owner = nullptr, DialogFunction dialog = {});
    std::optional<QString> browse() override;

    // The folder chosen last during this run; empty before the first choice.
    const QString& lastFolder() const { return m_lastFolder; }

private:
    QPointer<QWidget> m_owner;
    DialogFunction m_dialog;
    QString m_lastFolder; // window's thread only
};
