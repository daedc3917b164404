// A file list over plain rows, for the command-line converter and the tests.
#pragma once

#include "FileList.h"
#include "RowTexts.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

struct FileListRow {
    std::string Caption;
    bool Checked = true; // new rows are checked
    std::array<std::string, FileColumnCount> SubTexts;
};

class FileListRows : public FileList {
public:
    // Appends a checked row with the texts the intake found for the file.
    void AddRow(const std::string& caption, const FileRowTexts& texts) {
        FileListRow row;
        row.Caption = caption;
        row.SubTexts = {texts.VideoSize, texts.FrameRate, texts.Duration, texts.Output,
                        texts.Progress,  texts.Frames,    std::string()};
        m_rows.push_back(std::move(row));
    }
    std::vector<FileListRow>& Rows() { return m_rows; }
    const std::vector<FileListRow>& Rows() const { return m_rows; }

    int RowCount() const override { return static_cast<int>(m_rows.size()); }
    std::string Caption(int row) const override { return m_rows.at(index(row)).Caption; }
    bool Checked(int row) const override { return m_rows.at(index(row)).Checked; }
    std::string SubText(int row, FileColumn column) const override {
        return m_rows.at(index(row)).SubTexts[static_cast<size_t>(column)];
    }
    void SetSubText(int row, FileColumn column, const std::string& text) override {
        m_rows.at(index(row)).SubTexts[static_cast<size_t>(column)] = text;
    }

private:
    static size_t index(int row) { return row < 0 ? SIZE_MAX : static_cast<size_t>(row); }
    std::vector<FileListRow> m_rows;
};
