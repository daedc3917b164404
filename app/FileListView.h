// The main window's file list: a check-box report view that is also the job builder's
// FileList, and that takes dropped files.
#pragma once

#include "FileList.h"
#include "RowTexts.h"
#include "SizeEstimate.h"

#include <QStringList>
#include <QTreeWidget>

#include <functional>
#include <optional>

class FileListView : public QTreeWidget, public FileList {
    Q_OBJECT
public:
    explicit FileListView(QWidget* parent = nullptr);

    // FileList
    int RowCount() const override;
    std::string Caption(int row) const override;
    bool Checked(int row) const override;
    std::string SubText(int row, FileColumn column) const override;
    void SetSubText(int row, FileColumn column, const std::string& text) override;

    // Appends a checked row with the file name as caption and the given sub-texts.
    void addRow(const QString& fileName, const FileRowTexts& texts);
    void setChecked(int row, bool checked);
    void setAllChecked(bool checked);
    // The selected row (the current one when it is among several selected), or -1.
    int selectedRow() const;
    // Every selected row, in list order.
    QList<int> selectedRows() const;
    void removeRow(int row);
    // Removes every selected row.
    void removeSelectedRows();
    // Writes text into one column of every row (their tooltips are cleared).
    void setColumnText(FileColumn column, const QString& text);
    // The tooltip of one cell: why a row failed.
    void setCellToolTip(int row, FileColumn column, const QString& text);
    QString cellToolTip(int row, FileColumn column) const;
    // Scrolls so that the row is visible (a partly visible row counts as visible).
    void makeRowVisible(int row);

    // Beside its texts a row keeps what the probe found in its file, the output its last
    // conversion wrote, and a line about its output (the estimated size, or the output and
    // its real size) that the row's tooltips show after the file name or the reason.
    void setRowFacts(int row, const InputFacts& facts);
    std::optional<InputFacts> rowFacts(int row) const;
    void setRowOutput(int row, const QString& path);
    QString rowOutput(int row) const;
    void setRowInfo(int row, const QString& line);
    QString rowInfo(int row) const;
    // The row's estimated output size, kept beside its tooltip line.
    void setRowEstimate(int row, const SizeEstimate& estimate);
    SizeEstimate rowEstimate(int row) const;
    // Selects the row alone and shows it.
    void selectRow(int row);

    // The faint text an empty list shows in its middle.
    static const QString EmptyHint;

    // Called with the local files dropped onto the list.
    std::function<void(const QStringList& files)> onFilesDropped;

protected:
    void paintEvent(QPaintEvent* event) override;
    // Shift+F10 and the Menu key ask for the context menu at the current row.
    void keyPressEvent(QKeyEvent* event) override;
    // The "File Name" column takes the width the list has beyond its designed width, until
    // the user sizes the column.
    void resizeEvent(QResizeEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    QTreeWidgetItem* rowItem(int row) const;
    // The tooltips of every cell but the reason's: the file name or nothing, then the line.
    void showRowInfo(QTreeWidgetItem* item);

    bool m_nameWidthByUser = false; // the user sized "File Name"; window's thread
    bool m_sizingName = false;      // the list itself sizes "File Name" now
};
