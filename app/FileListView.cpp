#include "FileListView.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QUrl>

#include <algorithm>

Q_DECLARE_METATYPE(InputFacts)

namespace {

// What a row keeps beside its texts, on its first cell.
enum RowRole {
    FactsRole = Qt::UserRole + 1,
    OutputRole,
    InfoRole,
    EstimateBytesRole,
    EstimateApproximateRole,
};

struct ColumnLayout {
    const char* caption;
    int width;
    Qt::Alignment alignment;
};

// "File Name" and the six visible sub-texts; the seventh sub-text has a hidden column.
constexpr ColumnLayout kColumns[] = {
    {"File Name", 245, Qt::AlignLeft},     {"Video Size", 100, Qt::AlignHCenter},
    {"Frame Rate", 100, Qt::AlignHCenter}, {"Duration", 70, Qt::AlignHCenter},
    {"Output", 70, Qt::AlignHCenter},      {"Progress", 80, Qt::AlignHCenter},
    {"Frames", 70, Qt::AlignHCenter},
};
constexpr int kVisibleColumns = static_cast<int>(std::size(kColumns));
// The list spans the main window's designed width.
constexpr int kDesignedWidth = 762;
constexpr int kHiddenColumn = kVisibleColumns;

int columnOf(FileColumn column) {
    return 1 + static_cast<int>(column);
}

QStringList localFiles(const QMimeData* mime) {
    QStringList files;
    if (!mime || !mime->hasUrls())
        return files;
    for (const QUrl& url : mime->urls())
        if (url.isLocalFile())
            files << url.toLocalFile();
    return files;
}

// Draws each cell as the style does (selection and focus included), then the grid line at
// its right and bottom edges in the style's mid colour, so every style keeps its own
// readable selected-row colours.
class GridDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyledItemDelegate::paint(painter, option, index);
        painter->save();
        painter->setPen(option.palette.color(QPalette::Midlight));
        const QRect cell = option.rect;
        painter->drawLine(cell.topRight(), cell.bottomRight());
        painter->drawLine(cell.bottomLeft(), cell.bottomRight());
        painter->restore();
    }
};

} // namespace

const QString FileListView::EmptyHint =
    QStringLiteral("Drop video or audio files here, or use Add File");

FileListView::FileListView(QWidget* parent) : QTreeWidget(parent) {
    setObjectName(QStringLiteral("ListView1"));
    setColumnCount(kVisibleColumns + 1);
    QStringList captions;
    for (const ColumnLayout& c : kColumns)
        captions << QString::fromLatin1(c.caption);
    captions << QString();
    setHeaderLabels(captions);
    for (int i = 0; i < kVisibleColumns; ++i) {
        setColumnWidth(i, kColumns[i].width);
        headerItem()->setTextAlignment(i, kColumns[i].alignment | Qt::AlignVCenter);
    }
    // The hidden column has no width, so it never counts towards a horizontal scroll bar.
    setColumnWidth(kHiddenColumn, 0);
    setColumnHidden(kHiddenColumn, true);
    header()->setStretchLastSection(false);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    // Several rows at once with Shift and Ctrl, for Remove and Delete.
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setAllColumnsShowFocus(true);
    // Grid lines between the cells, drawn by a delegate so the selection stays readable.
    setItemDelegate(new GridDelegate(this));
    // Long paths keep their start and their file name.
    setTextElideMode(Qt::ElideMiddle);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DropOnly);
    setContextMenuPolicy(Qt::CustomContextMenu);
    setAccessibleName(QStringLiteral("File List"));
    connect(header(), &QHeaderView::sectionResized, this, [this](int column) {
        if (column == 0 && !m_sizingName)
            m_nameWidthByUser = true;
    });
}

QTreeWidgetItem* FileListView::rowItem(int row) const {
    return row >= 0 && row < topLevelItemCount() ? topLevelItem(row) : nullptr;
}

int FileListView::RowCount() const {
    return topLevelItemCount();
}

std::string FileListView::Caption(int row) const {
    const QTreeWidgetItem* item = rowItem(row);
    return item ? item->text(0).toStdString() : std::string();
}

bool FileListView::Checked(int row) const {
    const QTreeWidgetItem* item = rowItem(row);
    return item && item->checkState(0) == Qt::Checked;
}

std::string FileListView::SubText(int row, FileColumn column) const {
    const QTreeWidgetItem* item = rowItem(row);
    return item ? item->text(columnOf(column)).toStdString() : std::string();
}

void FileListView::SetSubText(int row, FileColumn column, const std::string& text) {
    if (QTreeWidgetItem* item = rowItem(row))
        item->setText(columnOf(column), QString::fromStdString(text));
}

void FileListView::addRow(const QString& fileName, const FileRowTexts& texts) {
    auto* item = new QTreeWidgetItem;
    item->setFlags((item->flags() | Qt::ItemIsUserCheckable) & ~Qt::ItemIsEditable);
    item->setText(0, fileName);
    item->setToolTip(0, fileName);
    item->setCheckState(0, Qt::Checked);
    const std::string* values[] = {&texts.VideoSize, &texts.FrameRate, &texts.Duration,
                                   &texts.Output,    &texts.Progress,  &texts.Frames};
    for (int i = 0; i < static_cast<int>(std::size(values)); ++i)
        item->setText(1 + i, QString::fromStdString(*values[i]));
    for (int i = 1; i < kVisibleColumns; ++i)
        item->setTextAlignment(i, Qt::AlignCenter);
    addTopLevelItem(item);
}

void FileListView::setChecked(int row, bool checked) {
    if (QTreeWidgetItem* item = rowItem(row))
        item->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
}

void FileListView::setAllChecked(bool checked) {
    for (int row = 0; row < RowCount(); ++row)
        setChecked(row, checked);
}

int FileListView::selectedRow() const {
    if (currentItem() && currentItem()->isSelected())
        return indexOfTopLevelItem(currentItem());
    const QList<int> rows = selectedRows();
    return rows.isEmpty() ? -1 : rows.first();
}

QList<int> FileListView::selectedRows() const {
    QList<int> rows;
    for (QTreeWidgetItem* item : selectedItems())
        rows << indexOfTopLevelItem(item);
    std::sort(rows.begin(), rows.end());
    return rows;
}

void FileListView::removeRow(int row) {
    if (row >= 0 && row < topLevelItemCount())
        delete takeTopLevelItem(row);
}

void FileListView::removeSelectedRows() {
    const QList<int> rows = selectedRows();
    // From the last, so the rows still to go keep their places.
    for (auto row = rows.crbegin(); row != rows.crend(); ++row)
        removeRow(*row);
}

void FileListView::keyPressEvent(QKeyEvent* event) {
    const bool menuKey = event->key() == Qt::Key_Menu && event->modifiers() == Qt::NoModifier;
    const bool shiftF10 = event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier;
    if (!menuKey && !shiftF10) {
        QTreeWidget::keyPressEvent(event);
        return;
    }
    event->accept();
    // Below the current row's start, as a right click there would be; else the middle.
    QPoint at = viewport()->rect().center();
    if (QTreeWidgetItem* item = currentItem()) {
        const QRect shown = visualItemRect(item);
        if (shown.intersects(viewport()->rect()))
            at = QPoint(shown.left() + shown.height(), shown.center().y());
    }
    emit customContextMenuRequested(at);
}

void FileListView::resizeEvent(QResizeEvent* event) {
    QTreeWidget::resizeEvent(event);
    if (m_nameWidthByUser)
        return;
    m_sizingName = true;
    setColumnWidth(0, kColumns[0].width + std::max(0, width() - kDesignedWidth));
    m_sizingName = false;
}

void FileListView::setColumnText(FileColumn column, const QString& text) {
    for (int row = 0; row < RowCount(); ++row) {
        topLevelItem(row)->setText(columnOf(column), text);
        setCellToolTip(row, column, QString());
    }
}

void FileListView::setCellToolTip(int row, FileColumn column, const QString& text) {
    if (QTreeWidgetItem* item = rowItem(row)) {
        item->setToolTip(columnOf(column), text);
        // Screen readers read the tooltip as the cell's description.
        item->setData(columnOf(column), Qt::AccessibleDescriptionRole, text);
    }
}

QString FileListView::cellToolTip(int row, FileColumn column) const {
    const QTreeWidgetItem* item = rowItem(row);
    return item ? item->toolTip(columnOf(column)) : QString();
}

void FileListView::makeRowVisible(int row) {
    if (QTreeWidgetItem* item = rowItem(row)) {
        const QRect shown = visualItemRect(item);
        if (!shown.isValid() || !shown.intersects(viewport()->rect()))
            scrollToItem(item, QAbstractItemView::EnsureVisible);
    }
}

void FileListView::paintEvent(QPaintEvent* event) {
    QTreeWidget::paintEvent(event);
    if (RowCount() > 0)
        return;
    // An empty list says how files get into it.
    QPainter painter(viewport());
    QColor faint = palette().color(QPalette::Text);
    faint.setAlphaF(0.45f);
    painter.setPen(faint);
    painter.drawText(viewport()->rect(), Qt::AlignCenter | Qt::TextWordWrap, EmptyHint);
}

void FileListView::dragEnterEvent(QDragEnterEvent* event) {
    if (!localFiles(event->mimeData()).isEmpty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void FileListView::dragMoveEvent(QDragMoveEvent* event) {
    if (!localFiles(event->mimeData()).isEmpty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void FileListView::dropEvent(QDropEvent* event) {
    const QStringList files = localFiles(event->mimeData());
    if (files.isEmpty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    if (onFilesDropped)
        onFilesDropped(files);
}

void FileListView::setRowFacts(int row, const InputFacts& facts) {
    if (QTreeWidgetItem* item = rowItem(row))
        item->setData(0, FactsRole, QVariant::fromValue(facts));
}

std::optional<InputFacts> FileListView::rowFacts(int row) const {
    const QTreeWidgetItem* item = rowItem(row);
    if (!item || !item->data(0, FactsRole).canConvert<InputFacts>())
        return std::nullopt;
    return item->data(0, FactsRole).value<InputFacts>();
}

void FileListView::setRowOutput(int row, const QString& path) {
    if (QTreeWidgetItem* item = rowItem(row))
        item->setData(0, OutputRole, path);
}

QString FileListView::rowOutput(int row) const {
    const QTreeWidgetItem* item = rowItem(row);
    return item ? item->data(0, OutputRole).toString() : QString();
}

void FileListView::setRowInfo(int row, const QString& line) {
    QTreeWidgetItem* item = rowItem(row);
    if (!item || item->data(0, InfoRole).toString() == line)
        return;
    item->setData(0, InfoRole, line);
    showRowInfo(item);
}

QString FileListView::rowInfo(int row) const {
    const QTreeWidgetItem* item = rowItem(row);
    return item ? item->data(0, InfoRole).toString() : QString();
}

void FileListView::setRowEstimate(int row, const SizeEstimate& estimate) {
    if (QTreeWidgetItem* item = rowItem(row)) {
        item->setData(0, EstimateBytesRole, static_cast<qint64>(estimate.Bytes));
        item->setData(0, EstimateApproximateRole, estimate.Approximate);
    }
}

SizeEstimate FileListView::rowEstimate(int row) const {
    SizeEstimate estimate;
    if (const QTreeWidgetItem* item = rowItem(row);
        item && item->data(0, EstimateBytesRole).isValid()) {
        estimate.Bytes = item->data(0, EstimateBytesRole).toLongLong();
        estimate.Approximate = item->data(0, EstimateApproximateRole).toBool();
    }
    return estimate;
}

void FileListView::selectRow(int row) {
    if (QTreeWidgetItem* item = rowItem(row)) {
        clearSelection();
        setCurrentItem(item);
        item->setSelected(true);
        scrollToItem(item);
    }
}

void FileListView::showRowInfo(QTreeWidgetItem* item) {
    const QString line = item->data(0, InfoRole).toString();
    const int reasonColumn = columnOf(FileColumn::Progress);
    for (int column = 0; column < columnCount(); ++column) {
        if (column == reasonColumn)
            continue;
        QString tip = line;
        if (column == 0)
            tip = line.isEmpty() ? item->text(0) : item->text(0) + QLatin1Char('\n') + line;
        item->setToolTip(column, tip);
        // Screen readers read the tooltip as the cell's description.
        item->setData(column, Qt::AccessibleDescriptionRole, tip);
    }
}
