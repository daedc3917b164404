#include "DescribedSet.h"

#include "../support/TestMedia.h"
#include "LibavHandles.h"
#include "PartialFile.h"

extern "C" {
#include <libavutil/display.h>
#include <libavutil/mem.h>
}

#include <functional>
#include <iostream>
#include <vector>

namespace fs = std::filesystem;

namespace DescribedSet {
namespace {

// Output streams for each input stream (an input stream may be copied to several).
using StreamCopies = std::vector<std::vector<AVStream*>>;

InputContextPtr openInput(const fs::path& path) {
    AVFormatContext* context = nullptr;
    checkAv(avformat_open_input(&context, path.c_str(), nullptr, nullptr), path.string());
    InputContextPtr input(context);
    checkAv(avformat_find_stream_info(context, nullptr), "stream info of " + path.string());
    return input;
}

AVStream* copyStream(AVFormatContext* output, const AVStream* from) {
    AVStream* stream = avformat_new_stream(output, nullptr);
    if (stream == nullptr)
        throw std::runtime_error("out of memory");
    checkAv(avcodec_parameters_copy(stream->codecpar, from->codecpar), "stream parameters");
    stream->codecpar->codec_tag = 0;
    stream->time_base = from->time_base;
    return stream;
}

void addChapter(AVFormatContext* output, int64_t startMs, int64_t endMs, const char* title) {
    auto** chapters = static_cast<AVChapter**>(
        av_realloc_array(output->chapters, output->nb_chapters + 1, sizeof(AVChapter*)));
    if (chapters == nullptr)
        throw std::runtime_error("out of memory");
    output->chapters = chapters;
    auto* chapter = static_cast<AVChapter*>(av_mallocz(sizeof(AVChapter)));
    if (chapter == nullptr)
        throw std::runtime_error("out of memory");
    chapter->id = output->nb_chapters;
    chapter->time_base = AVRational{1, 1000};
    chapter->start = startMs;
    chapter->end = endMs;
    av_dict_set(&chapter->metadata, "title", title, 0);
    chapters[output->nb_chapters++] = chapter;
}

// Copies every packet of `input` into the output streams `copies` names, then ends the file.
void copyPackets(AVFormatContext* input, AVFormatContext* output, const StreamCopies& copies) {
    PacketPtr packet(av_packet_alloc());
    while (av_read_frame(input, packet.get()) >= 0) {
        const AVStream* from = input->streams[packet->stream_index];
        for (AVStream* to : copies[static_cast<size_t>(packet->stream_index)]) {
            PacketPtr copy(av_packet_clone(packet.get()));
            copy->stream_index = to->index;
            av_packet_rescale_ts(copy.get(), from->time_base, to->time_base);
            copy->pos = -1;
            checkAv(av_interleaved_write_frame(output, copy.get()), "writing a packet");
        }
        av_packet_unref(packet.get());
    }
    checkAv(av_write_trailer(output), "writing the trailer");
}

// Writes `target` with `muxer`: `shape` adds the streams (and whatever the file should say)
// and the packets wanted before the copied ones (a cover picture), then every packet of
// `source` is copied as `shape` mapped it.
void writeFile(const fs::path& source, const fs::path& target, const char* muxer,
               const std::function<void(AVFormatContext*, AVFormatContext*, StreamCopies&)>& shape,
               const std::function<void(AVFormatContext*)>& before = {}) {
    InputContextPtr input = openInput(source);
    PartialFile file(target);
    AVFormatContext* context = nullptr;
    checkAv(avformat_alloc_output_context2(&context, nullptr, muxer, file.path().c_str()),
            "output for " + target.string());
    OutputContextPtr output(context);
    output->flags |= AVFMT_FLAG_BITEXACT;
    StreamCopies copies(input->nb_streams);
    shape(input.get(), output.get(), copies);
    checkAv(avio_open(&output->pb, file.path().c_str(), AVIO_FLAG_WRITE), target.string());
    checkAv(avformat_write_header(output.get(), nullptr), "writing the header");
    if (before)
        before(output.get());
    copyPackets(input.get(), output.get(), copies);
    output.reset();
    file.commit();
}

AVStream* streamOfKind(AVFormatContext* input, AVMediaType kind) {
    for (unsigned i = 0; i < input->nb_streams; ++i)
        if (input->streams[i]->codecpar->codec_type == kind)
            return input->streams[i];
    throw std::runtime_error("the source has no stream of that kind");
}

// The MP4 clip in Matroska: its picture four thirds wider than stored (16:9 shown), its
// sound twice, in English (the default) and in German, two chapters and a title.
void writeLanguages(const fs::path& source, const fs::path& folder) {
    writeFile(source / TestMedia::kMp4H264Aac.name, folder / kLanguages, "matroska",
              [](AVFormatContext* input, AVFormatContext* output, StreamCopies& copies) {
                  const AVStream* video = streamOfKind(input, AVMEDIA_TYPE_VIDEO);
                  const AVStream* audio = streamOfKind(input, AVMEDIA_TYPE_AUDIO);
                  AVStream* picture = copyStream(output, video);
                  picture->sample_aspect_ratio = picture->codecpar->sample_aspect_ratio =
                      AVRational{4, 3};
                  copies[static_cast<size_t>(video->index)] = {picture};
                  const char* const languages[][2] = {{"eng", "English"}, {"deu", "Deutsch"}};
                  for (const auto& [language, title] : languages) {
                      AVStream* sound = copyStream(output, audio);
                      av_dict_set(&sound->metadata, "language", language, 0);
                      av_dict_set(&sound->metadata, "title", title, 0);
                      sound->disposition = copies[static_cast<size_t>(audio->index)].empty()
                                               ? AV_DISPOSITION_DEFAULT
                                               : 0;
                      copies[static_cast<size_t>(audio->index)].push_back(sound);
                  }
                  picture->disposition = AV_DISPOSITION_DEFAULT;
                  av_dict_set(&output->metadata, "title", "Two languages", 0);
                  addChapter(output, 0, 1500, "Opening");
                  addChapter(output, 1500, 3000, "Ending");
              });
}

// The MP4 clip again as MP4, its picture four thirds wider than stored and to be turned a
// quarter clockwise, its sound in English.
void writeRotated(const fs::path& source, const fs::path& folder) {
    writeFile(
        source / TestMedia::kMp4H264Aac.name, folder / kRotated, "mp4",
        [](AVFormatContext* input, AVFormatContext* output, StreamCopies& copies) {
            for (unsigned i = 0; i < input->nb_streams; ++i)
                copies[i] = {copyStream(output, input->streams[i])};
            AVStream* picture =
                copies[static_cast<size_t>(streamOfKind(input, AVMEDIA_TYPE_VIDEO)->index)].front();
            picture->sample_aspect_ratio = picture->codecpar->sample_aspect_ratio =
                AVRational{4, 3};
            auto* matrix = reinterpret_cast<int32_t*>(
                av_stream_new_side_data(picture, AV_PKT_DATA_DISPLAYMATRIX, 9 * sizeof(int32_t)));
            if (matrix == nullptr)
                throw std::runtime_error("out of memory");
            av_display_rotation_set(matrix, 90);
            av_dict_set(&copies[static_cast<size_t>(streamOfKind(input, AVMEDIA_TYPE_AUDIO)->index)]
                             .front()
                             ->metadata,
                        "language", "eng", 0);
        });
}

// A 64 x 48 PNG picture of one grey level.
PacketPtr pngPicture() {
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_PNG);
    if (codec == nullptr)
        throw std::runtime_error("no PNG encoder");
    CodecContextPtr encoder(avcodec_alloc_context3(codec));
    encoder->width = 64;
    encoder->height = 48;
    encoder->pix_fmt = AV_PIX_FMT_RGB24;
    encoder->time_base = AVRational{1, 1};
    checkAv(avcodec_open2(encoder.get(), codec, nullptr), "PNG encoder");
    FramePtr frame(av_frame_alloc());
    frame->format = AV_PIX_FMT_RGB24;
    frame->width = 64;
    frame->height = 48;
    checkAv(av_frame_get_buffer(frame.get(), 0), "picture buffer");
    for (int y = 0; y < frame->height; ++y)
        for (int x = 0; x < 3 * frame->width; ++x)
            frame->data[0][y * frame->linesize[0] + x] = static_cast<uint8_t>(4 * y);
    checkAv(avcodec_send_frame(encoder.get(), frame.get()), "encoding the picture");
    PacketPtr packet(av_packet_alloc());
    checkAv(avcodec_receive_packet(encoder.get(), packet.get()), "encoding the picture");
    return packet;
}

// The MP3 clip with a front cover picture and a title.
void writeCover(const fs::path& source, const fs::path& folder) {
    PacketPtr cover = pngPicture();
    int coverIndex = -1;
    writeFile(
        source / TestMedia::kMp3Audio.name, folder / kCover, "mp3",
        [&](AVFormatContext* input, AVFormatContext* output, StreamCopies& copies) {
            for (unsigned i = 0; i < input->nb_streams; ++i)
                copies[i] = {copyStream(output, input->streams[i])};
            AVStream* picture = avformat_new_stream(output, nullptr);
            picture->codecpar->codec_type = AVMEDIA_TYPE_VIDEO;
            picture->codecpar->codec_id = AV_CODEC_ID_PNG;
            picture->codecpar->width = 64;
            picture->codecpar->height = 48;
            picture->disposition = AV_DISPOSITION_ATTACHED_PIC;
            av_dict_set(&picture->metadata, "title", "Cover", 0);
            av_dict_set(&picture->metadata, "comment", "Cover (front)", 0);
            av_dict_set(&output->metadata, "title", "Song", 0);
            coverIndex = picture->index;
        },
        [&](AVFormatContext* output) {
            cover->stream_index = coverIndex;
            checkAv(av_interleaved_write_frame(output, cover.get()), "writing the cover");
        });
}

} // namespace

int write(const fs::path& source, const fs::path& folder) {
    av_log_set_level(AV_LOG_ERROR);
    fs::create_directories(folder);
    try {
        writeLanguages(source, folder);
        writeRotated(source, folder);
        writeCover(source, folder);
    } catch (const std::exception& error) {
        std::cerr << "vidbrisk_make_test_media: described set: " << error.what() << "\n";
        return 1;
    }
    return 0;
}

} // namespace DescribedSet
