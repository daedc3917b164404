// The main window's kept list and outputs: the list written to its file on every change and
// brought back on start, no file listed twice, "Remove Finished", the output folder and a
// row's output shown on the desktop, the first start's output folder, and quitting once a
// stopped run has ended. Everything here runs on the window's thread.
#include "FreedesktopOpener.h"
#include "MessageBox.h"
#include "OutputFileClaim.h"
#include "SettingsStore.h"
#include "StoredSettings.h"
#include "Unit1.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QProgressBar>
#include <QShortcut>
#include <QStandardPaths>
#include <QTimer>

namespace {

bool isEndState(const std::string& state) {
    return state == "Done" || state == "Fail" || state == "Abort" || state == "Error";
}

QString videosOrHomeFolder() {
    const QString videos = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
    if (!videos.isEmpty() && QFileInfo(videos).isDir())
        return videos;
    return QDir::homePath();
}

} // namespace

void TForm1::attachQueue() {
    if (!m_services.opener) {
        m_ownOpener = std::make_unique<FreedesktopOpener>();
        m_services.opener = m_ownOpener.get();
    }
    if (!m_services.defaultOutputFolder)
        m_services.defaultOutputFolder = videosOrHomeFolder;
    m_listChangedTimer = new QTimer(this);
    m_listChangedTimer->setSingleShot(true);
    m_listChangedTimer->setInterval(0);
    connect(m_listChangedTimer, &QTimer::timeout, this, [this] {
        SaveQueue();
        if (m_estimatesStale)
            refreshEstimates();
        showSizePanel();
    });
    const QAbstractItemModel* model = ListView1->model();
    // Rows come and go: their tooltip lines are due, and the panel shows estimates again.
    auto rowsChanged = [this] {
        m_estimatesStale = true;
        m_sizePanelQuiet = false;
        listChanged();
    };
    connect(model, &QAbstractItemModel::rowsInserted, this, rowsChanged);
    connect(model, &QAbstractItemModel::rowsRemoved, this, rowsChanged);
    connect(model, &QAbstractItemModel::modelReset, this, rowsChanged);
    connect(model, &QAbstractItemModel::dataChanged, this, &TForm1::listChanged);
    // Another choice in a settings box gives other estimates.
    for (QComboBox* box : {ComboOutputFormat, ComboVideoBitrate, ComboVideoCodec, ComboVideoSize,
                           ComboVideoFramerate, ComboAudioBitrate, ComboAudioCodec,
                           ComboAudioChannels, ComboSamplingRate})
        connect(box, &QComboBox::currentIndexChanged, this, [this] {
            m_estimatesStale = true;
            m_sizePanelQuiet = false;
            listChanged();
        });

    PopupMenu1->addSeparator();
    ActionShowInFolder = PopupMenu1->addAction(QStringLiteral("&Show in Folder"));
    connect(ActionShowInFolder, &QAction::triggered, this, &TForm1::ShowInFolder);
    PopupMenu1->addAction(ActionRemoveFinished);
    // "Show in Folder" only for a row whose output is there.
    connect(PopupMenu1, &QMenu::aboutToShow, this, [this] {
        const QString output = ListView1->rowOutput(ListView1->selectedRow());
        ActionShowInFolder->setEnabled(!output.isEmpty() && QFileInfo::exists(output));
    });
    // Ctrl+Q closes the window as its close box does: a run is asked about, the settings
    // are saved. It works while the menus are locked by a run.
    auto* quit = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q), this);
    connect(quit, &QShortcut::activated, this, &QWidget::close);
}

void TForm1::detachQueue() {
    // The list and the boxes still signal while the window's children are destroyed, when
    // the window is no longer a TForm1.
    if (!m_listChangedTimer)
        return;
    m_listChangedTimer->stop();
    disconnect(ListView1->model(), nullptr, this, nullptr);
    for (QComboBox* box : findChildren<QComboBox*>())
        disconnect(box, nullptr, this, nullptr);
    m_listChangedTimer = nullptr;
}

void TForm1::listChanged() {
    if (m_listChangedTimer && !m_listChangedTimer->isActive())
        m_listChangedTimer->start();
}

void TForm1::chooseFirstStartFolder() {
    // A first start has no stored folder: the desktop's videos folder, else the home
    // folder. The Additional Options dialog writes it with the other values.
    if (!m_services.settings->contains(QString::fromLatin1(SettingsNames::kOutputFolder)))
        EditOutputFolder->setText(m_services.defaultOutputFolder());
}

QString TForm1::OutputFolderChosen() const {
    QString folder = EditOutputFolder->text().trimmed();
    if (folder == QLatin1String("~") || folder.startsWith(QLatin1String("~/")))
        folder = QDir::homePath() + folder.mid(1);
    return folder;
}

std::vector<QueueRow> TForm1::QueueSnapshot() const {
    std::vector<QueueRow> rows;
    rows.reserve(static_cast<size_t>(ListView1->RowCount()));
    for (int index = 0; index < ListView1->RowCount(); ++index) {
        QueueRow row;
        row.file = QString::fromStdString(ListView1->Caption(index));
        row.checked = ListView1->Checked(index);
        const std::string state = ListView1->SubText(index, FileColumn::Progress);
        const std::string runOutput = m_builder->OutputOfRow(index);
        row.output = ListView1->rowOutput(index);
        if (isEndState(state)) {
            row.state = QString::fromStdString(state);
            row.reason = ListView1->cellToolTip(index, FileColumn::Progress);
        } else if (!state.empty() || (Converting && !runOutput.empty())) {
            // A percentage, or taken by the run and about to start: its part file is there.
            row.state = QStringLiteral("Converting");
            row.output = QString::fromStdString(runOutput);
        }
        if (const std::optional<InputFacts> facts = ListView1->rowFacts(index)) {
            row.probed = true;
            row.facts = *facts;
            row.videoSize =
                QString::fromStdString(ListView1->SubText(index, FileColumn::VideoSize));
            row.frameRate =
                QString::fromStdString(ListView1->SubText(index, FileColumn::FrameRate));
            row.duration = QString::fromStdString(ListView1->SubText(index, FileColumn::Duration));
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

void TForm1::SaveQueue() {
    if (!m_queue || m_queue->save(QueueSnapshot()) || m_queueUnwritable)
        return;
    // Told once, after the change that could not be kept has been handled.
    m_queueUnwritable = true;
    const QString text = QStringLiteral("The file list cannot be kept: \"%1\" cannot be written. "
                                        "The list will not come back at the next start.")
                             .arg(m_queue->path());
    QPointer<TForm1> self(this);
    QTimer::singleShot(0, this, [self, text] {
        if (self)
            self->m_services.messages->information(text);
    });
}

void TForm1::RestoreQueue() {
    if (m_services.queueFile.isEmpty())
        return;
    m_queue = std::make_unique<QueueFile>(m_services.queueFile);
    QueueFile::Loaded loaded = m_queue->load();
    if (!loaded.problem.isEmpty()) {
        QString text = QStringLiteral("The kept file list \"%1\" could not be read (%2).")
                           .arg(m_queue->path(), loaded.problem);
        if (!loaded.setAsideAs.isEmpty())
            text += QStringLiteral(" It was set aside as \"%1\".").arg(loaded.setAsideAs);
        text += QStringLiteral(" The list starts empty.");
        // Once the window shows, over it.
        QTimer::singleShot(0, this, [this, text] { m_services.messages->information(text); });
    }
    // A conversion the program did not live to end left its part file: nobody holds it,
    // and the row is converted again from the start.
    for (const QueueRow& row : loaded.rows)
        if (row.state == QLatin1String("Converting") && !row.output.isEmpty())
            OutputFileClaim::removeStalePart(row.output.toStdString());
    const std::vector<QueueRow> rows = restoredRows(
        std::move(loaded.rows), [](const QString& file) { return QFileInfo::exists(file); });
    for (const QueueRow& row : rows) {
        FileRowTexts texts;
        std::optional<InputFacts> facts;
        QString reason = row.reason;
        if (row.probed) {
            texts.VideoSize = row.videoSize.toStdString();
            texts.FrameRate = row.frameRate.toStdString();
            texts.Duration = row.duration.toStdString();
            facts = row.facts;
        } else if (row.state != QLatin1String("Error")) {
            // Written without the probe's findings: the file is probed now.
            try {
                texts =
                    ProbeFileRow(FFmpegVCL1.Probe, row.file.toStdString(), m_format.OutputLabel);
            } catch (...) {
                texts.Progress = "Error";
            }
            if (texts.Progress == "Error")
                reason = QString::fromStdString(FFmpegVCL1.Probe.LastErrorMessage);
            else
                facts = ProbeInputFacts(FFmpegVCL1.Probe);
        }
        texts.Output = m_format.OutputLabel;
        if (texts.Progress.empty())
            texts.Progress = row.state.toStdString();
        ListView1->addRow(row.file, texts);
        const int index = ListView1->RowCount() - 1;
        ListView1->setChecked(index, row.checked);
        if (!reason.isEmpty())
            ListView1->setCellToolTip(index, FileColumn::Progress, reason);
        ListView1->setRowOutput(index, row.output);
        if (facts)
            ListView1->setRowFacts(index, *facts);
    }
    FFmpegVCL1.Probe.CloseFile();
}

QList<int> TForm1::takeListedFiles(QStringList& files) const {
    // A path as given and its absolute, cleaned form ("./a.avi", "dir/../a.avi") name one
    // row. Links are not followed: a link is a file of its own to the user.
    const auto absolute = [](const QString& file) {
        return QDir::cleanPath(QFileInfo(file).absoluteFilePath());
    };
    QHash<QString, int> listed;
    for (int row = 0; row < ListView1->RowCount(); ++row) {
        const QString caption = QString::fromStdString(ListView1->Caption(row));
        listed.insert(absolute(caption), row);
        listed.insert(caption, row);
    }
    QList<int> rows;
    QStringList fresh;
    QSet<QString> taken; // files of this intake, so that one chosen twice is added once
    for (const QString& file : files) {
        auto found = listed.constFind(file);
        if (found == listed.constEnd())
            found = listed.constFind(absolute(file));
        if (found != listed.constEnd()) {
            rows << found.value();
            continue;
        }
        if (taken.contains(absolute(file)))
            continue;
        taken.insert(absolute(file));
        fresh << file;
    }
    files = fresh;
    return rows;
}

void TForm1::RemoveFinished() {
    if (Converting || Adding)
        return;
    for (int row = ListView1->RowCount() - 1; row >= 0; --row)
        if (ListView1->SubText(row, FileColumn::Progress) == "Done")
            ListView1->removeRow(row);
}

void TForm1::OpenOutputFolder() {
    const QString folder = OutputFolderChosen();
    if (folder.isEmpty()) {
        m_services.messages->information(QStringLiteral("Please select an output folder!"));
        return;
    }
    if (!QFileInfo(folder).isDir()) {
        m_services.messages->information(
            QStringLiteral("The output folder \"%1\" does not exist.").arg(folder));
        return;
    }
    m_services.opener->openFolder(folder, tellWhyNotShown());
}

void TForm1::ShowInFolder() {
    const int row = ListView1->selectedRow();
    const QString output = ListView1->rowOutput(row);
    if (output.isEmpty())
        return;
    if (!QFileInfo::exists(output)) {
        m_services.messages->information(
            QStringLiteral("The output \"%1\" is no longer there.").arg(output));
        return;
    }
    m_services.opener->showFile(output, tellWhyNotShown());
}

DesktopOpener::Failed TForm1::tellWhyNotShown() {
    // The desktop may answer after the window has gone.
    QPointer<TForm1> self(this);
    return [self](const QString& message) {
        if (self)
            self->m_services.messages->information(message);
    };
}

void TForm1::quitAfterStop() {
    if (!m_quitWhenStopped)
        return;
    m_quitWhenStopped = false;
    ProgressBar1->setValue(0);
    EnableControls();
    Converting = false;
    showReady();
    // Not from inside a close event that is being refused.
    QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}
