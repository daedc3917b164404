// The Additional Options dialog: its controls, loading the persistent settings into both
// windows, saving them, and the drop-down count and aspect-ratio change handlers.
#include "Unit4.h"

#include "AddFileToFFMPEG.h"
#include "FillComboOutputFormat.h"
#include "SettingsStore.h"
#include "StoredSettings.h"
#include "TitleWidth.h"
#include "Unit1.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QThread>
#include <QVBoxLayout>

#include <algorithm>
#include <optional>

namespace {

constexpr int kMinimumDropDownItems = 26;
constexpr int kMaximumDropDownItems = 47;
constexpr int kDefaultDropDownItems = 27;
constexpr int kDefaultFilesAtOnce = 1;

// A list box that offers its entries only: a choice that is not an entry cannot be made.
QComboBox* makeList(const QString& name, const QStringList& items, QWidget* parent) {
    auto* combo = new QComboBox(parent);
    combo->setObjectName(name);
    combo->addItems(items);
    combo->setCurrentIndex(0);
    return combo;
}

// The stored position of a list; a value outside the list keeps the first entry.
void restoreListPosition(QComboBox* combo, const std::optional<int>& position) {
    if (position && *position >= 0 && *position < combo->count())
        combo->setCurrentIndex(*position);
}

// The entry the box shows, or -1 when it shows none (a stored position beyond the list).
int chosenItem(const QComboBox* combo) {
    return combo->currentIndex();
}

// Chooses an item by position; a position beyond the list leaves no selection.
void selectItem(QComboBox* combo, int position) {
    combo->setCurrentIndex(position < combo->count() ? position : -1);
}

} // namespace

TForm4::TForm4(TForm1& mainForm, SettingsStore& store, QWidget* parent)
    : QDialog(parent), m_mainForm(mainForm), m_store(store) {
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QStringLiteral("Additional Options"));
    // Dialog border: title and close box only, not resizable; kept above the main window.
    // QDialog centres itself on its parent, the main window, when shown.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint);
    setModal(true);
    // Never narrower than its whole title.
    setMinimumWidth(widthForTitle(*this));

    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    layout->addWidget(buildVideoOptions());

    layout->addWidget(buildGeneralOptions());
    // Below the existing groups, so that they keep their places.
    layout->addWidget(buildStreamOptions());

    ButtonDone = new QPushButton(QStringLiteral("Done"), this);
    ButtonDone->setObjectName(QStringLiteral("ButtonDone"));
    ButtonDone->setDefault(true);
    layout->addWidget(ButtonDone, 0, Qt::AlignHCenter);

    connect(ButtonDone, &QPushButton::clicked, this, &QDialog::accept);
    connect(SpinEdit1, &QSpinBox::valueChanged, this, &TForm4::SpinEdit1Change);
    connect(ComboAspectRatio4, &QComboBox::currentIndexChanged, this,
            &TForm4::ComboAspectRatio4Change);
    // The video zoom choice is only stored; changing it has no effect.

    try {
        LoadSettings();
    } catch (...) {
        // The dialog keeps its defaults; they are written when the main window closes.
    }
}

QGroupBox* TForm4::buildVideoOptions() {
    auto* video = new QGroupBox(QStringLiteral(" Video Options "), this);
    auto* videoLayout = new QGridLayout(video);
    ComboLetterBox = makeList(QStringLiteral("ComboLetterBox"),
                              {QStringLiteral("None"), QStringLiteral("LetterBox")}, video);
    ComboAspectRatio4 = makeList(QStringLiteral("ComboAspectRatio4"),
                                 {QStringLiteral("Original"), QStringLiteral("4:3 (Standard"),
                                  QStringLiteral("16:9 (Wide Screen)")},
                                 video);
    videoLayout->addWidget(new QLabel(QStringLiteral("Video Zoom : "), video), 0, 0);
    videoLayout->addWidget(ComboLetterBox, 0, 1);
    videoLayout->addWidget(new QLabel(QStringLiteral("Aspect Ratio : "), video), 1, 0);
    videoLayout->addWidget(ComboAspectRatio4, 1, 1);
    // Below the existing rows, so that they keep their places.
    QStringList deinterlaceItems;
    for (const char* entry : DeinterlaceEntries)
        deinterlaceItems << QString::fromLatin1(entry);
    ComboDeinterlace = makeList(QStringLiteral("ComboDeinterlace"), deinterlaceItems, video);
    auto* deinterlaceLabel = new QLabel(QStringLiteral("Deinterlace : "), video);
    deinterlaceLabel->setBuddy(ComboDeinterlace);
    videoLayout->addWidget(deinterlaceLabel, 2, 0);
    videoLayout->addWidget(ComboDeinterlace, 2, 1);
    return video;
}

QGroupBox* TForm4::buildGeneralOptions() {
    auto* general = new QGroupBox(QStringLiteral(" General Options "), this);
    auto* generalLayout = new QVBoxLayout(general);
    CheckBoxOverWrite =
        new QCheckBox(QStringLiteral("Overwrite Existing File With The Same Name"), general);
    CheckBoxOverWrite->setObjectName(QStringLiteral("CheckBoxOverWrite"));
    CheckBoxOverWrite->setChecked(false);
    generalLayout->addWidget(CheckBoxOverWrite);
    auto* countRow = new QHBoxLayout;
    SpinEdit1 = new QSpinBox(general);
    SpinEdit1->setObjectName(QStringLiteral("SpinEdit1"));
    SpinEdit1->setRange(kMinimumDropDownItems, kMaximumDropDownItems);
    SpinEdit1->setValue(kDefaultDropDownItems);
    countRow->addWidget(SpinEdit1);
    countRow->addWidget(
        new QLabel(QStringLiteral("Drop Down Items in Output Format List"), general), 1);
    generalLayout->addLayout(countRow);
    // Below the existing rows, so that they keep their places.
    auto* filesRow = new QHBoxLayout;
    SpinFilesAtOnce = new QSpinBox(general);
    SpinFilesAtOnce->setObjectName(QStringLiteral("SpinFilesAtOnce"));
    SpinFilesAtOnce->setRange(1, MaximumFilesAtOnce());
    SpinFilesAtOnce->setValue(kDefaultFilesAtOnce);
    filesRow->addWidget(SpinFilesAtOnce);
    filesRow->addWidget(new QLabel(QStringLiteral("Files at once"), general), 1);
    generalLayout->addLayout(filesRow);
    return general;
}

QGroupBox* TForm4::buildStreamOptions() {
    auto* streams = new QGroupBox(QStringLiteral(" Stream Options "), this);
    auto* streamsLayout = new QGridLayout(streams);
    ComboSubtitles = makeList(QStringLiteral("ComboSubtitles"),
                              {QStringLiteral("Keep"), QStringLiteral("Leave out")}, streams);
    ComboAudioTracks = makeList(QStringLiteral("ComboAudioTracks"),
                                {QStringLiteral("All"), QStringLiteral("Default only")}, streams);
    streamsLayout->addWidget(new QLabel(QStringLiteral("Subtitles"), streams), 0, 0);
    streamsLayout->addWidget(ComboSubtitles, 0, 1);
    streamsLayout->addWidget(new QLabel(QStringLiteral("Audio tracks"), streams), 1, 0);
    streamsLayout->addWidget(ComboAudioTracks, 1, 1);
    return streams;
}

void TForm4::LoadSettings() {
    const StoredSettings read = readStoredSettings(m_store);
    // Values restored here do not run the change handling: the main window's show handler
    // runs the format change once, with the restored format and drop-down count.
    const QSignalBlocker formatBlocker(m_mainForm.ComboOutputFormat);
    const QSignalBlocker countBlocker(SpinEdit1);

    // A folder never stored keeps the first start's choice the main window made.
    if (read.outputFolder && m_store.contains(QString::fromLatin1(SettingsNames::kOutputFolder)))
        m_mainForm.EditOutputFolder->setText(*read.outputFolder);
    if (read.comboOutputFormat && *read.comboOutputFormat >= 0)
        restoreFormat(*read.comboOutputFormat);
    if (read.overwrite)
        CheckBoxOverWrite->setChecked(*read.overwrite);
    if (read.dropDownItems && *read.dropDownItems >= 0)
        SpinEdit1->setValue(*read.dropDownItems); // the spin box keeps it within 26 to 47
    if (read.letterBox && *read.letterBox >= 0)
        selectItem(ComboLetterBox, *read.letterBox);
    // The spin box keeps it within 1 to this machine's cores.
    if (read.filesAtOnce)
        SpinFilesAtOnce->setValue(*read.filesAtOnce);
    if (read.deinterlace && *read.deinterlace >= 0)
        selectItem(ComboDeinterlace, *read.deinterlace);
    restoreListPosition(ComboSubtitles, read.subtitles);
    restoreListPosition(ComboAudioTracks, read.audioTracks);

    if (!read.complete())
        SaveSettings();
}

int TForm4::MaximumFilesAtOnce() {
    return std::max(1, QThread::idealThreadCount());
}

void TForm4::restoreFormat(int position) {
    QComboBox* format = m_mainForm.ComboOutputFormat;
    // A separator can never be chosen by the user; a stored position that names one keeps
    // the format chosen at start-up, so the first show fills the setting lists for it.
    if (position < format->count() &&
        format->itemText(position) == QString::fromLatin1(FormatBoxSeparator))
        return;
    selectItem(format, position);
}

void TForm4::SaveSettings() {
    try {
        SettingsValues values;
        values.outputFolder = m_mainForm.EditOutputFolder->text();
        values.comboOutputFormat = m_mainForm.ComboOutputFormat->currentIndex();
        values.overwrite = CheckBoxOverWrite->isChecked();
        values.dropDownItems = SpinEdit1->value();
        values.letterBox = chosenItem(ComboLetterBox);
        values.filesAtOnce = SpinFilesAtOnce->value();
        values.deinterlace = chosenItem(ComboDeinterlace);
        values.subtitles = ComboSubtitles->currentIndex();
        values.audioTracks = ComboAudioTracks->currentIndex();
        writeStoredSettings(m_store, values);
    } catch (...) {
        // Settings that cannot be written are given up silently.
    }
}

void TForm4::showEvent(QShowEvent* event) {
    showAspectRatioInUse();
    QDialog::showEvent(event);
}

void TForm4::SpinEdit1Change() {
    // Refreshes the setting lists for the current format and applies the new count.
    m_mainForm.ComboOutputFormatChange();
    showAspectRatioInUse();
}

void TForm4::ComboAspectRatio4Change() {
    // The items correspond one to one with the main window's hidden aspect-ratio box.
    QComboBox* hidden = m_mainForm.ComboAspectRatio;
    const int position = chosenItem(ComboAspectRatio4);
    hidden->setCurrentIndex(position < hidden->count() ? position : -1);
}

void TForm4::showAspectRatioInUse() {
    // The profiles choose "Original" in the hidden box whenever they fill the lists; the
    // dialog must not go on showing a ratio the conversions no longer use.
    const int inUse = m_mainForm.ComboAspectRatio->currentIndex();
    if (inUse == chosenItem(ComboAspectRatio4))
        return;
    const QSignalBlocker blocker(ComboAspectRatio4);
    ComboAspectRatio4->setCurrentIndex(inUse < ComboAspectRatio4->count() ? inUse : -1);
}
