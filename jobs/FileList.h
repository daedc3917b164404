// The file list as the job builder and the run control see it: rows with a caption, a check
// box and seven sub-texts. The window implements it over its list widget; the converter and
// the tests use FileListRows.
#pragma once

#include <string>

// The sub-texts of a row, in column order after "File Name"; Hidden is the seventh, which no
// column shows.
enum class FileColumn { VideoSize, FrameRate, Duration, Output, Progress, Frames, Hidden };
inline constexpr int FileColumnCount = 7;

class FileList {
public:
    virtual ~FileList() = default;
    virtual int RowCount() const = 0;
    // The row's caption: the input file's full path.
    virtual std::string Caption(int row) const = 0;
    virtual bool Checked(int row) const = 0;
    virtual std::string SubText(int row, FileColumn column) const = 0;
    virtual void SetSubText(int row, FileColumn column, const std::string& text) = 0;
};
