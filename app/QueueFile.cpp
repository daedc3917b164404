// The kept file list: its JSON form, the restore rules and the atomic file.
#include "QueueFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QStandardPaths>

namespace {

constexpr int kVersion = 1;
constexpr const char* kSetAsideSuffix = ".damaged";

QJsonObject rowObject(const QueueRow& row) {
    QJsonObject object{{"file", row.file},
                       {"checked", row.checked},
                       {"state", row.state},
                       {"reason", row.reason},
                       {"output", row.output}};
    if (row.probed) {
        object.insert("videoSize", row.videoSize);
        object.insert("frameRate", row.frameRate);
        object.insert("duration", row.duration);
        object.insert("durationMs", static_cast<double>(row.facts.DurationMs));
        object.insert("width", row.facts.Width);
        object.insert("height", row.facts.Height);
        object.insert("fps", row.facts.FrameRate);
        object.insert("hasVideo", row.facts.HasVideo);
        object.insert("hasAudio", row.facts.HasAudio);
    }
    return object;
}

QueueRow rowOf(const QJsonObject& object) {
    QueueRow row;
    row.file = object.value("file").toString();
    row.checked = object.value("checked").toBool(true);
    row.state = object.value("state").toString();
    row.reason = object.value("reason").toString();
    row.output = object.value("output").toString();
    // The probe's findings count only when they are all there.
    const char* const probeFields[] = {"videoSize", "frameRate", "duration", "durationMs", "width",
                                       "height",    "fps",       "hasVideo", "hasAudio"};
    row.probed = true;
    for (const char* field : probeFields)
        row.probed = row.probed && object.contains(QLatin1String(field));
    if (row.probed) {
        row.videoSize = object.value("videoSize").toString();
        row.frameRate = object.value("frameRate").toString();
        row.duration = object.value("duration").toString();
        row.facts.DurationMs = static_cast<int64_t>(object.value("durationMs").toDouble(-1));
        row.facts.Width = object.value("width").toInt();
        row.facts.Height = object.value("height").toInt();
        row.facts.FrameRate = object.value("fps").toDouble();
        row.facts.HasVideo = object.value("hasVideo").toBool();
        row.facts.HasAudio = object.value("hasAudio").toBool();
    }
    return row;
}

} // namespace

QByteArray encodeQueue(const std::vector<QueueRow>& rows) {
    QJsonArray list;
    for (const QueueRow& row : rows)
        list.append(rowObject(row));
    const QJsonObject document{{"version", kVersion}, {"rows", list}};
    return QJsonDocument(document).toJson(QJsonDocument::Indented);
}

std::optional<std::vector<QueueRow>> decodeQueue(const QByteArray& document, QString& problem) {
    QJsonParseError error{};
    const QJsonDocument parsed = QJsonDocument::fromJson(document, &error);
    if (error.error != QJsonParseError::NoError) {
        problem = error.errorString() + QStringLiteral(" at byte %1").arg(error.offset);
        return std::nullopt;
    }
    if (!parsed.isObject() || !parsed.object().value("rows").isArray()) {
        problem = QStringLiteral("it holds no list of rows");
        return std::nullopt;
    }
    std::vector<QueueRow> rows;
    for (const QJsonValue& value : parsed.object().value("rows").toArray()) {
        if (!value.isObject())
            continue;
        QueueRow row = rowOf(value.toObject());
        if (!row.file.isEmpty())
            rows.push_back(std::move(row));
    }
    return rows;
}

std::vector<QueueRow> restoredRows(std::vector<QueueRow> rows,
                                   const std::function<bool(const QString&)>& fileExists) {
    for (QueueRow& row : rows) {
        if (row.state == QLatin1String("Done")) {
            // Converted already: a new run leaves it alone unless the user checks it.
            row.checked = false;
        } else if (row.state == QLatin1String("Converting")) {
            // Interrupted: it is converted again, from the start.
            row.state.clear();
            row.reason.clear();
            row.checked = true;
        } else if (row.state != QLatin1String("Fail") && row.state != QLatin1String("Abort") &&
                   row.state != QLatin1String("Error")) {
            row.state.clear();
        }
        if (!fileExists(row.file)) {
            row.state = QStringLiteral("Error");
            row.reason = QString::fromLatin1(kFileNotFoundReason);
        }
    }
    return rows;
}

QString QueueFile::defaultPath() {
    // GenericDataLocation follows $XDG_DATA_HOME and falls back to ~/.local/share.
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/Vidbrisk/queue.json");
}

QueueFile::Loaded QueueFile::load() {
    Loaded loaded;
    QFile file(m_path);
    if (!file.exists())
        return loaded;
    std::optional<std::vector<QueueRow>> rows;
    if (file.open(QIODevice::ReadOnly)) {
        const QByteArray document = file.readAll();
        if (file.error() == QFileDevice::NoError) {
            rows = decodeQueue(document, loaded.problem);
            if (rows)
                m_written = document;
        } else {
            loaded.problem = file.errorString();
        }
        file.close();
    } else {
        loaded.problem = file.errorString();
    }
    if (rows) {
        loaded.rows = std::move(*rows);
        return loaded;
    }
    loaded.setAsideAs = setAside();
    return loaded;
}

QString QueueFile::setAside() {
    QString target = m_path + QLatin1String(kSetAsideSuffix);
    for (int number = 1; QFileInfo::exists(target) || QFileInfo(target).isSymLink(); ++number)
        target =
            m_path + QLatin1String(kSetAsideSuffix) + QLatin1Char('-') + QString::number(number);
    if (QFile::rename(m_path, target))
        return target;
    // Not even renamed: the next write replaces it.
    return QString();
}

bool QueueFile::save(const std::vector<QueueRow>& rows) {
    const QByteArray document = encodeQueue(rows);
    if (m_written && *m_written == document)
        return true;
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    QSaveFile file(m_path);
    // Never written in place: a reader sees the old list or the new one.
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(document) != document.size() || !file.commit())
        return false;
    m_written = document;
    return true;
}
