// The kept file list: the window's rows in a JSON file that survives a close, a crash or a
// restart. Written whole and atomically on every change; a file that cannot be read is set
// aside, never trusted.
#pragma once

#include "SizeEstimate.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

// One row as kept: what the list shows of it and what its last conversion gave.
struct QueueRow {
    QString file;
    bool checked = true;
    // "", "Done", "Fail", "Abort", "Error" or "Converting" (a conversion was running).
    QString state;
    QString reason; // why it failed, or a finished file's note
    QString output; // the output written (or being written)
    // What the probe found, so that a restart need not open every file again; absent in
    // files written by hand, which are probed instead.
    bool probed = false;
    QString videoSize;
    QString frameRate;
    QString duration;
    InputFacts facts;

    bool operator==(const QueueRow&) const = default;
};

// The queue document: {"version": 1, "rows": [{"file": ..., "checked": ..., "state": ...,
// "reason": ..., "output": ...}, ...]} with the probe's findings as further fields.
QByteArray encodeQueue(const std::vector<QueueRow>& rows);
// Reads a queue document. Nothing (with the reason in `problem`) when it is not one: not
// JSON, not an object, no "rows" list. Rows without a file name are skipped; fields that
// are missing take their defaults and fields not known are ignored.
std::optional<std::vector<QueueRow>> decodeQueue(const QByteArray& document, QString& problem);

// What a list kept from an earlier run becomes on start: "Done" rows stay done and
// unchecked, a row that was converting waits again checked, a row whose file is gone shows
// "Error" with a "not found" reason.
std::vector<QueueRow> restoredRows(std::vector<QueueRow> rows,
                                   const std::function<bool(const QString&)>& fileExists);
// The reason a restored row whose file is gone shows.
inline constexpr const char* kFileNotFoundReason = "File not found";

// The file itself. Used on the window's thread only.
class QueueFile {
public:
    explicit QueueFile(QString path) : m_path(std::move(path)) {}

    // $XDG_DATA_HOME/Vidbrisk/queue.json (~/.local/share/Vidbrisk/queue.json).
    static QString defaultPath();
    const QString& path() const { return m_path; }

    struct Loaded {
        std::vector<QueueRow> rows;
        // Where a file that could not be read was moved to, and why; empty otherwise.
        QString setAsideAs;
        QString problem;
    };
    // The kept rows (none when there is no file yet). A file that cannot be read or is not
    // a queue is renamed with a ".damaged" suffix (numbered when one exists) and the list
    // starts empty.
    Loaded load();
    // Writes the rows through a temporary file that is flushed to disk and renamed over the
    // kept one, so that a reader sees the old list or the new one, never a part. A list
    // equal to the one written last is not written again. False when it could not be
    // written.
    bool save(const std::vector<QueueRow>& rows);

private:
    QString setAside();

    QString m_path;
    std::optional<QByteArray> m_written; // the document written (or read) last
};
