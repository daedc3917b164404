// The engine's per-stream codec contexts.
#include "StreamCodecTable.h"

#include "AVCodecHlpr.h"
#include "AVUtilHlpr.h"
#include "CodecLock.h"
#include "MediaLibraries.h"

#include <algorithm>

StreamCodecTable::~StreamCodecTable() {
    Release(nullptr);
}

StreamCodecEntry& StreamCodecTable::Add(AVFormatContext* file, int streamIndex,
                                        AVCodecContext* codec) {
    auto entry = std::make_unique<StreamCodecEntry>();
    entry->File = file;
    entry->StreamIndex = streamIndex;
    entry->Codec = codec;
    m_entries.push_back(std::move(entry));
    return *m_entries.back();
}

StreamCodecEntry* StreamCodecTable::Find(const AVFormatContext* file, int streamIndex) {
    for (const auto& entry : m_entries)
        if (entry->File == file && entry->StreamIndex == streamIndex)
            return entry.get();
    return nullptr;
}

void StreamCodecTable::Release(const AVFormatContext* file) {
    auto released = [file](const std::unique_ptr<StreamCodecEntry>& entry) {
        return !file || entry->File == file;
    };
    for (const auto& entry : m_entries) {
        if (!released(entry) || !entry->Codec)
            continue;
        if (MediaLibrariesLoaded()) {
            // A context may still be open when a task is released without its clean-up.
            // Two-pass statistics are ours (av_malloc'd); the library does not free them.
            lavu.av_freep(&entry->Codec->stats_in);
            const CodecLockGuard lock(CodecLock());
            lavc.avcodec_free_context(&entry->Codec);
        }
        entry->Codec = nullptr;
    }
    m_entries.erase(std::remove_if(m_entries.begin(), m_entries.end(), released), m_entries.end());
}
