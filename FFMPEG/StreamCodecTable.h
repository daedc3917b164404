// The engine's own codec context per stream of every open file: encoder settings for
// output streams (with the stream-copy flag), decoder settings for input streams.
#pragma once

#include <memory>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

// One stream's codec context. Entries live on the heap, so a pointer to `Codec` stays
// valid while the table grows (the open codec registry keeps such pointers).
struct StreamCodecEntry {
    AVFormatContext* File = nullptr;
    int StreamIndex = 0;
    AVCodecContext* Codec = nullptr; // owned; null once closed
    uint8_t StreamCopy = 0;          // output: the stream is copied, not encoded
    uint8_t RateEmulation = 0;       // input: read at the stream's own pace
};

// Owned by one engine instance; used on the thread that configures or runs the task.
class StreamCodecTable {
public:
    StreamCodecTable() = default;
    StreamCodecTable(const StreamCodecTable&) = delete;
    StreamCodecTable& operator=(const StreamCodecTable&) = delete;
    ~StreamCodecTable();

    // Adds an entry for the stream and takes ownership of `codec`.
    StreamCodecEntry& Add(AVFormatContext* file, int streamIndex, AVCodecContext* codec);
    // The entry of the stream, or null.
    StreamCodecEntry* Find(const AVFormatContext* file, int streamIndex);
    // Frees the codec contexts of one file (all when `file` is null) and drops the entries.
    void Release(const AVFormatContext* file);
    std::size_t Count() const { return m_entries.size(); }

private:
    std::vector<std::unique_ptr<StreamCodecEntry>> m_entries;
};
