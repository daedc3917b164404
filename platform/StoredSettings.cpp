// Reading and writing the persistent values in their fixed order.
#include "StoredSettings.h"

using namespace SettingsNames;

namespace {

// The five values under the failed-read rule.
void readInOrder(const SettingsStore& store, StoredSettings& read) {
    read.outputFolder = store.readString(QString::fromLatin1(kOutputFolder));
    if (!read.outputFolder)
        return;
    read.comboOutputFormat = store.readInteger(QString::fromLatin1(kComboOutputFormat));
    if (!read.comboOutputFormat)
        return;
    read.overwrite = store.readBoolean(QString::fromLatin1(kOverwrite));
    if (!read.overwrite)
        return;
    read.dropDownItems = store.readInteger(QString::fromLatin1(kDropDownItems));
    if (!read.dropDownItems)
        return;
    read.letterBox = store.readInteger(QString::fromLatin1(kLetterBox));
}

} // namespace

StoredSettings readStoredSettings(const SettingsStore& store) {
    StoredSettings read;
    readInOrder(store, read);
    read.filesAtOnce = store.readInteger(QString::fromLatin1(kFilesAtOnce));
    read.deinterlace = store.readInteger(QString::fromLatin1(kDeinterlace));
    read.subtitles = store.readInteger(QString::fromLatin1(kSubtitles));
    read.audioTracks = store.readInteger(QString::fromLatin1(kAudioTracks));
    return read;
}

bool writeStoredSettings(SettingsStore& store, const SettingsValues& values) {
    const bool written =
        store.writeString(QString::fromLatin1(kOutputFolder), values.outputFolder) &&
        store.writeInteger(QString::fromLatin1(kComboOutputFormat), values.comboOutputFormat) &&
        store.writeBoolean(QString::fromLatin1(kOverwrite), values.overwrite) &&
        store.writeInteger(QString::fromLatin1(kDropDownItems), values.dropDownItems) &&
        store.writeInteger(QString::fromLatin1(kLetterBox), values.letterBox) &&
        store.writeInteger(QString::fromLatin1(kFilesAtOnce), values.filesAtOnce) &&
        store.writeInteger(QString::fromLatin1(kDeinterlace), values.deinterlace) &&
        store.writeInteger(QString::fromLatin1(kSubtitles), values.subtitles) &&
        store.writeInteger(QString::fromLatin1(kAudioTracks), values.audioTracks);
    const bool flushed = store.flush();
    return written && flushed;
}
