#include "Unit1.h"

#include "AccessibleLabels.h"
#include "DesktopNotifier.h"
#include "ElidingComboBox.h"
#include "FillComboOutputFormat.h"
#include "FormatComboBox.h"
#include "HelpFileViewer.h"
#include "MessageBox.h"
#include "OpenFilter.h"
#include "QtFolderBrowser.h"
#include "QtMessageBox.h"
#include "QtSettingsStore.h"
#include "TMoviePlayer.h"
#include "Unit2.h"
#include "Unit4.h"
#include "VolumeTrackBar.h"
#include "WindowGeometry.h"

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QScreen>
#include <QShortcut>
#include <QStandardItemModel>
#include <QSlider>
#include <QSpinBox>
#include <QStatusBar>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include <stdexcept>

namespace {

constexpr int kClientWidth = 762;
constexpr int kClientHeight = 516;
constexpr int kToolbarHeight = 78;
constexpr int kToolButtonSize = 65;
constexpr int kHintDurationMs = 30000;
constexpr int kFormatDropDownCount = 25;

QString programFolder() {
    return QCoreApplication::applicationDirPath();
}

QStringList openDialog(QWidget* owner, const QString& filter) {
    // Read-only check box hidden, several existing files, resizable: Qt's defaults for
    // getOpenFileNames. The first filter, "All Supported Files", is selected.
    return QFileDialog::getOpenFileNames(owner, QString(), QString(), filter);
}

} // namespace

TForm1::TForm1(TForm1Services services, QWidget* parent)
    : QMainWindow(parent), m_services(std::move(services)), m_scheduler(this) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Vidbrisk"));
    provideMissingServices();
    buildCentralWidget();
    buildMenus();
    buildStatusBar();
    setScreenTabOrder();
    connectFormatState();

    FFmpegVCL1.Scheduler = &m_scheduler;
    FormAbout = new TFormAbout(this);
    attachComponentEvents();
    attachPreview();

    ListView1->onFilesDropped = [this](const QStringList& files) {
        if (Converting || Adding)
            return;
        prepareIntake();
        AddFiles(files);
    };

    describeForAssistiveTechnology();
    EnableControls();
    // Resizable: the designed size at first, within the screen.
    WindowGeometry::restore(*this, *m_services.settings,
                            QSize(kClientWidth, kClientHeight + menuBar()->sizeHint().height()));
}

void TForm1::provideMissingServices() {
    if (!m_services.messages) {
        m_ownMessages = std::make_unique<QtMessageBox>(this);
        m_services.messages = m_ownMessages.get();
    }
    if (!m_services.folderBrowser) {
        m_ownFolderBrowser = std::make_unique<QtFolderBrowser>(this);
        m_services.folderBrowser = m_ownFolderBrowser.get();
    }
    if (!m_services.helpViewer) {
        m_ownHelpViewer = std::make_unique<HelpFileViewer>(*m_services.messages,
                                                           HelpFileViewer::findHelpFile(), this);
        m_services.helpViewer = m_ownHelpViewer.get();
    }
    if (!m_services.loadLibraries)
        m_services.loadLibraries = [](TFFmpegVCL& component) {
            return component.LoadLibraries(programFolder().toStdString(), true);
        };
    if (!m_services.chooseFiles)
        m_services.chooseFiles = openDialog;
    if (!m_services.exitApplication)
        m_services.exitApplication = [] { QCoreApplication::exit(0); };
    if (!m_services.notify)
        m_services.notify = DesktopNotifier::notify;
    if (!m_services.settings) {
        m_ownSettings = std::make_unique<QtSettingsStore>();
        m_services.settings = m_ownSettings.get();
    }
}

void TForm1::buildCentralWidget() {
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(buildToolbar());
    ListView1 = new FileListView(central);
    layout->addWidget(ListView1, 1);
    // The aspect-ratio choice is kept in a hidden box the profiles read.
    ComboAspectRatio = makeDropDown(QStringLiteral("ComboAspectRatio"));
    ComboAspectRatio->addItems(
        {QStringLiteral("Original"), QStringLiteral("4:3"), QStringLiteral("16:9")});
    ComboAspectRatio->setCurrentIndex(0);
    ComboAspectRatio->setParent(central);
    ComboAspectRatio->hide();
    // The list takes the room the window has beyond its designed size; the settings panel
    // keeps its designed size and place.
    layout->addWidget(buildSettingsPanel(), 0, Qt::AlignLeft);
    setCentralWidget(central);
}

void TForm1::connectFormatState() {
    m_format.ComboOutputFormat =
        m_boxes.emplace_back(std::make_unique<QtSettingsBox>(ComboOutputFormat)).get();
    auto box = [this](QComboBox* combo) {
        return m_boxes.emplace_back(std::make_unique<QtSettingsBox>(combo)).get();
    };
    m_format.Boxes = {box(ComboVideoBitrate),   box(ComboVideoCodec),   box(ComboVideoSize),
                      box(ComboVideoFramerate), box(ComboAudioBitrate), box(ComboAudioCodec),
                      box(ComboAudioChannels),  box(ComboSamplingRate), box(ComboAspectRatio)};
    m_format.WriteOutputColumn = [this](const std::string& label) {
        ListView1->setColumnText(FileColumn::Output, QString::fromStdString(label));
    };
    // The drop-down count is the Additional Options value; unreadable before the dialog
    // exists, which gives the default.
    m_format.ReadDropDownCount = [this]() -> int {
        if (!Form4)
            throw std::runtime_error("no Additional Options yet");
        return Form4->SpinEdit1->value();
    };
    m_builder = std::make_unique<ConversionJobBuilder>(FFmpegVCL1, *ListView1, m_format,
                                                       m_outputOptions, *this);
}

TForm1::~TForm1() {
    // A change not written yet (the window ended by "Exit") is kept.
    SaveQueue();
    detachQueue();
    // The component's tasks end before the window's controls go.
    detachComponentEvents();
    FFmpegVCL1.ClearTasks();
    FFmpegVCL1.Scheduler = nullptr;
}

QComboBox* TForm1::makeDropDown(const QString& name) {
    auto* combo = new ElidingComboBox;
    combo->setObjectName(name);
    combo->setEditable(false);
    return combo;
}

QWidget* TForm1::buildToolbar() {
    auto* panel = new QWidget;
    panel->setObjectName(QStringLiteral("PanelToolbar"));
    panel->setFixedHeight(kToolbarHeight);
    auto* row = new QHBoxLayout(panel);
    row->setContentsMargins(6, 6, 6, 6);
    buildToolButtons(panel, row);
    row->addLayout(buildOutputFields(panel), 1);
    return panel;
}

void TForm1::buildToolButtons(QWidget* panel, QHBoxLayout* row) {
    struct ButtonDesign {
        QToolButton** button;
        const char* name;
        const char* caption;
        QStyle::StandardPixmap glyph;
    };
    const ButtonDesign buttons[] = {
        {&ButtonAddFile, "ButtonAddFile", "Add File", QStyle::SP_FileDialogNewFolder},
        {&ButtonRemove, "ButtonRemove", "Remove", QStyle::SP_DialogDiscardButton},
        {&ButtonClear, "ButtonClear", "Clear", QStyle::SP_TrashIcon},
        {&ButtonStopConvert, "ButtonStopConvert", "Stop", QStyle::SP_MediaStop},
        {&ButtonConvert, "ButtonConvert", "Convert", QStyle::SP_MediaPlay},
    };
    for (const ButtonDesign& design : buttons) {
        auto* button = new QToolButton(panel);
        button->setObjectName(QString::fromLatin1(design.name));
        button->setText(QString::fromLatin1(design.caption));
        button->setIcon(style()->standardIcon(design.glyph));
        button->setIconSize(QSize(32, 32));
        button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        button->setFixedSize(kToolButtonSize, kToolButtonSize);
        QFont bold = button->font();
        bold.setBold(true);
        button->setFont(bold);
        row->addWidget(button);
        *design.button = button;
    }
    connect(ButtonAddFile, &QToolButton::clicked, this, &TForm1::ButtonAddFileClick);
    connect(ButtonRemove, &QToolButton::clicked, this, &TForm1::ButtonRemoveClick);
    connect(ButtonClear, &QToolButton::clicked, this, &TForm1::ButtonClearClick);
    connect(ButtonConvert, &QToolButton::clicked, this, &TForm1::ButtonConvertClick);
    connect(ButtonStopConvert, &QToolButton::clicked, this, &TForm1::ButtonStopConvertClick);
}

QGridLayout* TForm1::buildOutputFields(QWidget* panel) {
    auto* fields = new QGridLayout;
    fields->addWidget(new QLabel(QStringLiteral("Output Format :"), panel), 0, 0);
    auto* formatList = new FormatComboBox;
    formatList->setObjectName(QStringLiteral("ComboOutputFormat"));
    formatList->onDropDown = [this] { ComboOutputFormatDropDown(); };
    ComboOutputFormat = formatList;
    formatList->setHint(QStringLiteral("Choose Output Format"));
    fields->addWidget(ComboOutputFormat, 0, 1, 1, 2);
    fields->addWidget(new QLabel(QStringLiteral("Output Folder :"), panel), 1, 0);
    EditOutputFolder = new QLineEdit(QStringLiteral("C:\\1"), panel);
    EditOutputFolder->setObjectName(QStringLiteral("EditOutputFolder"));
    // A folder may be typed or pasted; it is checked when a run starts.
    EditOutputFolder->setToolTip(QStringLiteral("Output Folder"));
    fields->addWidget(EditOutputFolder, 1, 1);
    ButtonBrowseForFolder = new QToolButton(panel);
    ButtonBrowseForFolder->setObjectName(QStringLiteral("ButtonBrowseForFolder"));
    ButtonBrowseForFolder->setText(QStringLiteral("..."));
    ButtonBrowseForFolder->setToolTip(QStringLiteral("Choose Output Folder"));
    fields->addWidget(ButtonBrowseForFolder, 1, 2);
    fields->setColumnStretch(1, 1);
    connect(ButtonBrowseForFolder, &QToolButton::clicked, this,
            &TForm1::ButtonBrowseForFolderClick);
    connect(ComboOutputFormat, &QComboBox::activated, this, &TForm1::ComboOutputFormatChange);
    return fields;
}

QWidget* TForm1::buildSettingsPanel() {
    auto* panel = new QWidget;
    panel->setObjectName(QStringLiteral("PanelSettings"));
    auto* row = new QHBoxLayout(panel);
    row->setContentsMargins(4, 4, 4, 4);
    row->addWidget(buildPreviewArea(panel));
    row->addWidget(
        buildSettingsGroup(panel, QStringLiteral(" Video Settings "),
                           {"Video Quality :", "Video Codec :", "Video Size :", "Framerate :"},
                           {{{&ComboVideoBitrate, "ComboVideoBitrate"},
                             {&ComboVideoCodec, "ComboVideoCodec"},
                             {&ComboVideoSize, "ComboVideoSize"},
                             {&ComboVideoFramerate, "ComboVideoFramerate"}}}),
        1);
    row->addWidget(buildSettingsGroup(panel, QStringLiteral(" Audio Settings "),
                                      {"Audio  Quality : ", "Audio Codec :", "Audio Channels :",
                                       "Sampling Rate :"},
                                      {{{&ComboAudioBitrate, "ComboAudioBitrate"},
                                        {&ComboAudioCodec, "ComboAudioCodec"},
                                        {&ComboAudioChannels, "ComboAudioChannels"},
                                        {&ComboSamplingRate, "ComboSamplingRate"}}}),
                   1);
    ComboAudioChannels->addItems({QStringLiteral("Stereo"), QStringLiteral("Mono")});
    ComboAudioChannels->setCurrentIndex(0);
    // Some formats offer other bit rates and sampling rates for each audio codec.
    connect(ComboAudioCodec, &QComboBox::activated, this, [this] { OnAudioCodecChange(m_format); });
    row->addLayout(buildVolume(panel));
    panel->setFixedSize(kClientWidth, 170);
    return panel;
}

QWidget* TForm1::buildPreviewArea(QWidget* panel) {
    // The preview area: the player above its three buttons.
    PreviewArea = new QWidget(panel);
    PreviewArea->setObjectName(QStringLiteral("PanelPreview"));
    auto* preview = new QVBoxLayout(PreviewArea);
    preview->setContentsMargins(0, 0, 0, 0);
    if (m_services.player) {
        m_player = m_services.player;
        auto* placeholder = new QWidget(PreviewArea);
        placeholder->setObjectName(QStringLiteral("MoviePlayer1"));
        preview->addWidget(placeholder, 1);
    } else {
        auto* moviePlayer = new TMoviePlayer(PreviewArea);
        moviePlayer->setObjectName(QStringLiteral("MoviePlayer1"));
        m_player = moviePlayer;
        preview->addWidget(moviePlayer, 1);
    }
    auto* buttons = new QHBoxLayout;
    const std::pair<QToolButton**, std::pair<const char*, QStyle::StandardPixmap>>
        previewButtons[] = {
            {&ButtonPlay, {"Play", QStyle::SP_MediaPlay}},
            {&ButtonPause, {"Pause", QStyle::SP_MediaPause}},
            {&ButtonStop, {"Stop", QStyle::SP_MediaStop}},
        };
    for (const auto& [target, design] : previewButtons) {
        auto* button = new QToolButton(PreviewArea);
        button->setObjectName(QStringLiteral("Button") + QString::fromLatin1(design.first));
        button->setToolTip(QString::fromLatin1(design.first));
        button->setIcon(style()->standardIcon(design.second));
        buttons->addWidget(button);
        *target = button;
    }
    preview->addLayout(buttons);
    PreviewArea->setFixedWidth(170);
    return PreviewArea;
}

QGroupBox*
TForm1::buildSettingsGroup(QWidget* panel, const QString& title,
                           const std::array<const char*, 4>& labels,
                           const std::array<std::pair<QComboBox**, const char*>, 4>& boxes) {
    auto* box = new QGroupBox(title, panel);
    auto* grid = new QGridLayout(box);
    for (int i = 0; i < 4; ++i) {
        grid->addWidget(new QLabel(QString::fromLatin1(labels[i]), box), i, 0);
        QComboBox* combo = makeDropDown(QString::fromLatin1(boxes[i].second));
        combo->setParent(box);
        grid->addWidget(combo, i, 1);
        *boxes[i].first = combo;
    }
    grid->setColumnStretch(1, 1);
    return box;
}

QVBoxLayout* TForm1::buildVolume(QWidget* panel) {
    auto* volume = new QVBoxLayout;
    // Position 0 (the loudest) is at the top, as on the designed track bar.
    TrackBar1 = new VolumeTrackBar(panel);
    TrackBar1->setObjectName(QStringLiteral("TrackBar1"));
    TrackBar1->setRange(0, 10);
    TrackBar1->setTickPosition(QSlider::TicksBothSides);
    LabelVolume = new QLabel(QStringLiteral("100%"), panel);
    LabelVolume->setObjectName(QStringLiteral("LabelVolume"));
    volume->addWidget(LabelVolume, 0, Qt::AlignHCenter);
    volume->addWidget(TrackBar1, 1, Qt::AlignHCenter);
    auto* caption = new QLabel(QStringLiteral("Volume"), panel);
    tieLabel(caption, TrackBar1);
    volume->addWidget(caption, 0, Qt::AlignHCenter);
    return volume;
}

void TForm1::buildMenus() {
    buildMainMenu();
    buildPopupMenu();
    buildShortcuts();
}

void TForm1::buildMainMenu() {
    // The captions carry mnemonics (Alt+F opens "File"); the shortcuts are extra ways in.
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    QAction* addFile = file->addAction(QStringLiteral("&Add File"));
    addFile->setShortcut(QKeySequence::Open);
    connect(addFile, &QAction::triggered, ButtonAddFile, &QToolButton::click);
    ActionGoConvert = file->addAction(QStringLiteral("&Go Convert"));
    ActionGoConvert->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)});
    connect(ActionGoConvert, &QAction::triggered, ButtonConvert, &QToolButton::click);
    file->addSeparator();
    ActionOpenOutputFolder = file->addAction(QStringLiteral("Open &Output Folder"));
    connect(ActionOpenOutputFolder, &QAction::triggered, this, &TForm1::OpenOutputFolder);
    ActionRemoveFinished = file->addAction(QStringLiteral("Remove &Finished"));
    connect(ActionRemoveFinished, &QAction::triggered, this, &TForm1::RemoveFinished);
    file->addSeparator();
    connect(file->addAction(QStringLiteral("E&xit")), &QAction::triggered, this, &TForm1::Exit);

    QMenu* options = menuBar()->addMenu(QStringLiteral("&Options"));
    ActionSetAdditionalOptions = options->addAction(QStringLiteral("Set &Additional Options"));
    connect(ActionSetAdditionalOptions, &QAction::triggered, this, [this] {
        if (Form4)
            Form4->exec();
    });

    buildPresetsMenu();
    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("MenuHelp"));
    QAction* openHelp = help->addAction(QStringLiteral("Open &HelpFile"));
    openHelp->setShortcut(QKeySequence::HelpContents);
    // Help stays at hand during a run.
    connect(openHelp, &QAction::triggered, this, [this] { m_services.helpViewer->openHelp(); });
    help->addSeparator();
    connect(help->addAction(QStringLiteral("&About")), &QAction::triggered, this,
            [this] { FormAbout->exec(); });
}

void TForm1::buildPopupMenu() {
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    connect(PopupMenu1->addAction(QStringLiteral("&Check All Items")), &QAction::triggered, this,
            [this] { CheckAllItems(true); });
    connect(PopupMenu1->addAction(QStringLiteral("&Uncheck All Items")), &QAction::triggered, this,
            [this] { CheckAllItems(false); });
    connect(PopupMenu1->addAction(QStringLiteral("&Remove Selected Items")), &QAction::triggered,
            this, &TForm1::RemoveSelectedItems);
    connect(PopupMenu1->addAction(QStringLiteral("Remove &All Items")), &QAction::triggered, this,
            &TForm1::RemoveAllItems);
    ActionPlaySelectedFile = PopupMenu1->addAction(QStringLiteral("&Play Selected File"));
    connect(ActionPlaySelectedFile, &QAction::triggered, ButtonPlay, &QToolButton::click);
    connect(ListView1, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        if (m_editingEnabled)
            PopupMenu1->popup(ListView1->viewport()->mapToGlobal(at));
    });
}

void TForm1::buildShortcuts() {
    // Delete in the list removes the selected rows, as the Remove button does (a disabled
    // button ignores the click during a run).
    auto* remove =
        new QShortcut(QKeySequence::Delete, ListView1, nullptr, nullptr, Qt::WidgetShortcut);
    connect(remove, &QShortcut::activated, ButtonRemove, &QToolButton::click);
    // Escape asks to stop a running conversion, as the Stop button does.
    auto* stop = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(stop, &QShortcut::activated, this, [this] {
        if (Converting)
            ButtonStopConvert->click();
    });
}

void TForm1::setScreenTabOrder() {
    // Left to right, then top to bottom, as the controls stand on the screen.
    QWidget* const order[] = {
        ButtonAddFile,     ButtonRemove,      ButtonClear,        ButtonStopConvert,
        ButtonConvert,     ComboOutputFormat, EditOutputFolder,   ButtonBrowseForFolder,
        ListView1,         ButtonPlay,        ButtonPause,        ButtonStop,
        ComboVideoBitrate, ComboVideoCodec,   ComboVideoSize,     ComboVideoFramerate,
        ComboAudioBitrate, ComboAudioCodec,   ComboAudioChannels, ComboSamplingRate,
        TrackBar1,
    };
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void TForm1::buildStatusBar() {
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar1"));
    bar->setSizeGripEnabled(false);
    // Panel 0 is wider than designed (60) so that "Converting 12 of 15" fits.
    const int widths[] = {120, 230};
    for (int i = 0; i < 2; ++i) {
        auto* panel = new QLabel(bar);
        panel->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        panel->setAlignment(Qt::AlignCenter);
        panel->setFixedWidth(widths[i]);
        panel->setFrameShape(QFrame::StyledPanel);
        bar->addWidget(panel);
        StatusPanels[static_cast<size_t>(i)] = panel;
    }
    StatusPanels[0]->setText(QStringLiteral("Ready"));
    // Panel 2 (350 wide) holds the progress bar, two pixels narrower than the panel.
    auto* panel2 = new QWidget(bar);
    panel2->setObjectName(QStringLiteral("StatusPanel2"));
    panel2->setFixedWidth(350);
    auto* inside = new QHBoxLayout(panel2);
    inside->setContentsMargins(1, 1, 1, 1);
    ProgressBar1 = new QProgressBar(panel2);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    // The bar always shows its text: the percentage, and during a run the speed and time left.
    ProgressBar1->setFormat(QStringLiteral("%p%"));
    ProgressBar1->setTextVisible(true);
    ProgressBar1->setFixedWidth(350 - 2);
    inside->addWidget(ProgressBar1);
    bar->addWidget(panel2);
}

bool TForm1::FormCreate() {
    // Fonts come from the desktop; the status bar and open dialog are set up with the
    // controls. Without the media libraries nothing else can work.
    if (!m_services.loadLibraries(FFmpegVCL1)) {
        m_services.messages->information(
            QStringLiteral("Some files are missing. Please re-install this software"));
        return false;
    }
    setWindowTitle(QStringLiteral("Vidbrisk"));
    attachQueue();
    for (QWidget* widget : findChildren<QWidget*>())
        if (!widget->toolTip().isEmpty())
            widget->setToolTipDuration(kHintDurationMs);
    TrackBar1->setValue(5);
    TrackBar1Change();
    connect(TrackBar1, &QSlider::valueChanged, this, &TForm1::TrackBar1Change);
    FillFormatBox(m_format);
    disableFormatSeparators();
    m_format.DropDownCount = kFormatDropDownCount;
    ComboOutputFormat->setMaxVisibleItems(m_format.DropDownCount);
    chooseFirstStartFolder();
    // The Additional Options dialog loads the stored settings into both windows.
    Form4 = new TForm4(*this, *m_services.settings, this);
    tieLabelsToControls(Form4);
    if (WindowGeometry::wasMaximized(*m_services.settings))
        setWindowState(windowState() | Qt::WindowMaximized);
    RestoreQueue();
    return true;
}

void TForm1::disableFormatSeparators() {
    // The separator entries keep their places but cannot be chosen, so the arrow keys,
    // Page Up/Down and the wheel step over them instead of bouncing back.
    auto* model = qobject_cast<QStandardItemModel*>(ComboOutputFormat->model());
    if (!model)
        return;
    const QString separator = QString::fromLatin1(FormatBoxSeparator);
    for (int i = 0; i < ComboOutputFormat->count(); ++i)
        if (ComboOutputFormat->itemText(i) == separator)
            model->item(i)->setEnabled(false);
}

void TForm1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (m_shownOnce)
        return;
    m_shownOnce = true;
    // The setting lists follow the format chosen (possibly restored from the settings).
    ComboOutputFormatChange();
}

void TForm1::ComboOutputFormatChange() {
    OnFormatChange(m_format);
    ComboOutputFormat->setMaxVisibleItems(m_format.DropDownCount > 0 ? m_format.DropDownCount
                                                                     : kFormatDropDownCount);
}

void TForm1::ComboOutputFormatDropDown() {
    OnFormatDropDown(m_format);
    ComboOutputFormat->setMaxVisibleItems(m_format.DropDownCount);
}

void TForm1::ButtonAddFileClick() {
    // Also refused while an intake is still taking files (it lets the window work meanwhile).
    if (Converting || Adding)
        return;
    prepareIntake();
    const QStringList files = m_services.chooseFiles(this, openDialogFilter());
    if (files.isEmpty())
        return;
    AddFiles(files);
}

void TForm1::prepareIntake() {
    // The rows already there keep their states until they are converted again.
    StopPreview();
    FFmpegVCL1.ClearTasks();
}

void TForm1::AddFiles(const QStringList& chosen) {
    if (Adding)
        return;
    Adding = true;
    // A file the list holds already is not added again: its row is selected instead.
    QStringList files = chosen;
    const QList<int> listed = takeListedFiles(files);
    try {
        for (const QString& file : files) {
            // Throws only when the libraries are missing; the remaining files are dropped.
            const FileRowTexts texts =
                ProbeFileRow(FFmpegVCL1.Probe, file.toStdString(), m_format.OutputLabel);
            ListView1->addRow(file, texts);
            // A file the probe could not open says why.
            if (texts.Progress == "Error")
                ListView1->setCellToolTip(
                    ListView1->RowCount() - 1, FileColumn::Progress,
                    QString::fromStdString(FFmpegVCL1.Probe.LastErrorMessage));
            else
                ListView1->setRowFacts(ListView1->RowCount() - 1,
                                       ProbeInputFacts(FFmpegVCL1.Probe));
            ListView1->scrollToItem(ListView1->topLevelItem(ListView1->RowCount() - 1));
            QCoreApplication::processEvents();
        }
    } catch (...) {
        // An intake that fails keeps the rows added so far, without a message.
    }
    // The probe must not keep the last file open (it may be moved or deleted meanwhile).
    FFmpegVCL1.Probe.CloseFile();
    if (!listed.isEmpty())
        ListView1->selectRow(listed.last());
    Adding = false;
}

void TForm1::ButtonRemoveClick() {
    if (Adding)
        return;
    ListView1->removeSelectedRows();
}

void TForm1::ButtonClearClick() {
    if (Converting || Adding)
        return;
    // A list with files still to convert is not emptied without asking.
    bool unconverted = false;
    for (int row = 0; row < ListView1->RowCount() && !unconverted; ++row)
        unconverted = ListView1->SubText(row, FileColumn::Progress) != "Done";
    if (unconverted && !m_services.messages->question(QStringLiteral(
                           "Some files of the list are not converted yet. Clear the list?")))
        return;
    StopPreview();
    FFmpegVCL1.ClearTasks();
    ListView1->clear();
    // The size of the last output belongs to rows that are gone.
    StatusPanels[1]->clear();
}

void TForm1::ButtonBrowseForFolderClick() {
    if (Converting)
        return;
    if (const std::optional<QString> folder = m_services.folderBrowser->browse())
        EditOutputFolder->setText(*folder);
}

void TForm1::CheckAllItems(bool checked) {
    if (ListView1->RowCount() > 0)
        ListView1->setAllChecked(checked);
}

void TForm1::RemoveSelectedItems() {
    ListView1->removeSelectedRows();
}

void TForm1::RemoveAllItems() {
    ListView1->clear();
}

void TForm1::Exit() {
    m_services.exitApplication();
}
