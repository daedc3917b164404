#include "OpenFilter.h"

#include "FillComboOutputFormat.h"

#include <QRegularExpression>
#include <QStringList>

const char* const OpenFilter =
    "All Supported Files|*.avi;*.mpeg;*.mpg;*.mpa;*.m1v;*.mv2;*.wma;*.wmv;*.asf;*.asx;*.mov; "
    "*.qt;*.3gp;*.3g2;*.mp3;*.mp2;*.ogg;*.aac;*.mp4;*.m4a;*.rm;*.rmvb;*.ram;*.ra;*.vob; "
    "*.dat;*.cda;*.dv; *.dif;*.wav; *.au; *.aiff;*.mjpg; *.mjpeg;*.ac3; *.gif; *.swf; *.flv|"
    "3GPP Files (*.3gp)|*.3gp|3GPP2 Files (*.3g2)|*.3g2|AAC Files (*.aac)|*.aac|"
    "AC3 Files (*.ac3)|*.ac3|Audio CD Files (*.cda)|*.cda|AVI Files (*.avi)|*.avi|"
    "DV Video Files (*.dv, *.dif)|*.dv;*.dif|DVD VOB Files (*.vob)|*.vob|"
    "GIF Animated Files (*.gif)|*.gif|Macromedia Flash Files (*.flv, *.swf)|*.flv; *.swf|"
    "Monkey Audio Files (*.ape, *.cue)|*.ape;*.cue|"
    "MJpeg Video Files (*.mjpg, *.mjpeg)|*.mjpg; *.mjpeg|MP2 Files (*.mp2)|*.mp2|"
    "MP3 Files (*.mp3)|*.mp3|"
    "MPEG Files (*.mpeg, *.mpg, *.mpa, *.m1v, *.mv2)|*.mpeg;*.mpg;*.mpa;*.m1v;*.mv2|"
    "MPEG-4 Files (*.mp4)|*.mp4|MPEG-4 Audio Files (*.m4a, *.mp4)|*.m4a; *.mp4|"
    "Ogg Vorbis Files (*.ogg)|*.ogg|"
    "RealMedia Files (*.rm, *.rmvb, *.ram, *.ra)|*.rm; *.rmvb; *.ram; *.ra|"
    "QuickTime Files (*.mov, *.qt)|*.mov; *.qt|VCD DAT Files (*.dat)|*.dat|"
    "WAV Files (*.wav, *.au, *.aiff)|*.wav; *.au; *.aiff|"
    "Windows Media Files(*.wma, *.wmv, *.asf, *.asx)|*.wma;*.wmv;*.asf;*.asx|";

QString openFilterToQt(const QString& filter) {
    QStringList parts = filter.split(QLatin1Char('|'));
    if (!parts.isEmpty() && parts.last().isEmpty())
        parts.removeLast();
    static const QRegularExpression trailingGroup(QStringLiteral("\\s*\\([^()]*\\)\\s*$"));
    QStringList entries;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts[i];
        description.remove(trailingGroup);
        QStringList patterns;
        for (const QString& pattern : parts[i + 1].split(QLatin1Char(';'))) {
            const QString trimmed = pattern.trimmed();
            if (!trimmed.isEmpty())
                patterns << trimmed;
        }
        entries << description.trimmed() + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) +
                       QLatin1Char(')');
    }
    return entries.join(QStringLiteral(";;"));
}

namespace {

struct ExtraFilter {
    const char* description;
    const char* patterns; // blank-separated
};

// Today's output formats and common inputs that the designed filter does not name.
constexpr ExtraFilter kExtraFilters[] = {
    {"Matroska Files", "*.mkv"},     {"WebM Files", "*.webm"},
    {"Opus Files", "*.opus"},        {"FLAC Files", "*.flac"},
    {"MPEG-4 Video Files", "*.m4v"}, {"MPEG Transport Stream Files", "*.ts *.m2ts *.mts"},
    {"MPEG-2 Video Files", "*.m2v"}, {"Ogg Video and Audio Files", "*.ogv *.oga"},
    {"WavPack Files", "*.wv"},
};

// The output formats' extensions, then those of the extra entries, each once.
QStringList extraPatterns() {
    QStringList patterns;
    for (const OutputFormatEntry& entry : OutputFormatCatalogue)
        if (entry.OutputType && *entry.OutputType)
            patterns << QStringLiteral("*.") + QString::fromLatin1(entry.OutputType).toLower();
    for (const ExtraFilter& extra : kExtraFilters)
        patterns << QString::fromLatin1(extra.patterns).split(QLatin1Char(' '));
    patterns.removeDuplicates();
    return patterns;
}

} // namespace

QString openDialogFilter() {
    QStringList entries =
        openFilterToQt(QString::fromLatin1(OpenFilter)).split(QStringLiteral(";;"));
    QString& supported = entries.first();
    const QStringList designed =
        supported.mid(supported.indexOf(QLatin1Char('(')) + 1).chopped(1).split(QLatin1Char(' '));
    QStringList added;
    for (const QString& pattern : extraPatterns())
        if (!designed.contains(pattern))
            added << pattern;
    supported.insert(supported.size() - 1, QLatin1Char(' ') + added.join(QLatin1Char(' ')));
    for (const ExtraFilter& extra : kExtraFilters)
        entries << QString::fromLatin1(extra.description) + QStringLiteral(" (") +
                       QString::fromLatin1(extra.patterns) + QLatin1Char(')');
    entries << QStringLiteral("All Files (*)");
    return entries.join(QStringLiteral(";;"));
}
