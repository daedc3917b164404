// The transcoding engine: one conversion task (`TCustomFFmpeg`) with its option state,
// option table and run fields. The implementation sits in one folder per stage: options/
// (option state, table, handlers, generic path, codec look-up, numbers, targets), input/,
// transcode/ (set-up, loop, decoding, audio and video paths, hooks, progress), output/ and
// component/ (the component and the engine instance `TFFmpeg` with its threads).
#pragma once

#include "EngineOptionState.h"
#include "FFMpegException.h"
#include "FrameHook.h"
#include "EncoderStage.h"
#include "StageState.h"
#include "StreamCodecTable.h"
#include "TranscodeState.h"
#include "VideoPathState.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/rational.h>
#include <libswscale/swscale.h>
}

struct EngineFrameDeleter; // LibavPointers.h

// Number of codec option contexts: one per media kind (video, audio, data, subtitle,
// attachment), indexed by AVMediaType.
constexpr int kCodecOptionKinds = 5;

// The engine's log entries carry a level: -1 the error that ended a task, 0 a failed step
// the task survives, 1 information and warnings.
constexpr int kLogTaskError = -1;
constexpr int kLogStepFailed = 0;
constexpr int kLogInfo = 1;

// One conversion task. The option state is configured from one thread (the one that
// sets the task up) before the task's worker starts; nothing here takes a lock.
class TCustomFFmpeg : public EngineOptionState {
public:
    // Receives the engine's log lines: level (-1, 0, 1, see above) and text.
    using TEngineLogCallback = std::function<void(int level, const std::string& text)>;

    TCustomFFmpeg();
    virtual ~TCustomFFmpeg();
    TCustomFFmpeg(const TCustomFFmpeg&) = delete;
    TCustomFFmpeg& operator=(const TCustomFFmpeg&) = delete;

    // Generic options: the names set through the generic path, in order, and the option
    // contexts holding their values (allocated by InitOptionContexts, released by
    // ReleaseState; null while the media libraries are not loaded).
    std::vector<std::string> GenericOptionNames;
    AVCodecContext* CodecOptionContexts[kCodecOptionKinds] = {};
    AVFormatContext* FormatOptionContext = nullptr;
    SwsContext* ScalerOptionContext = nullptr;
    // Options no option context knows, kept for the encoder of each kind and for the
    // muxer (private options such as libx264's "crf" or the MPEG muxer's "muxrate").
    // See ApplyPrivateOptions.
    AVDictionary* CodecPrivateOptions[kCodecOptionKinds] = {};
    AVDictionary* FormatPrivateOptions = nullptr;

    // The task's frame hook plug-ins ("vhook").
    FrameHookChain FrameHooks;

    // ---- Run fields ---------------------------------------------------------------------
    std::atomic<bool> Running{false};
    std::atomic<bool> StopRequested{false};
    std::atomic<bool> Finished{false};
    std::atomic<bool> Terminated{false};
    std::string ErrorText;        // reason of a false result reported without exception
    int32_t TotalDurationMs = -1; // expected output duration, -1 = unknown

    // ---- Logging ------------------------------------------------------------------------
    // Installed by the component; the engine logs only while one is installed.
    TEngineLogCallback LogCallback;
    // Whether a log receiver is installed, and the entry point every engine log line goes
    // through. Overridable so that hosts and tests can take the lines themselves.
    virtual bool LogInstalled() const { return static_cast<bool>(LogCallback); }
    virtual void Log(int level, const std::string& text);
    // Logs only when a receiver is installed.
    void LogIfInstalled(int level, const std::string& text);

    // ---- Option state lifecycle ---------------------------------------------------------
    // Puts every option field into its default, empties the stream and metadata maps and
    // the file counts. Open file contexts are forgotten, not closed: release them first
    // (ReleaseState). Does not touch the option contexts or the hook chain.
    void ResetOptions();
    // Releases what the instance holds, resets the options and the run flags, and
    // allocates the option contexts. Does nothing while the media libraries are not
    // loaded.
    void InitOptionContexts();
    // Frees everything the instance holds: option contexts, private option dictionaries,
    // generic names, texts, matrices, the hook chain, open codecs, the transcode state and
    // the input and output files (an output that stayed empty is deleted). Does nothing while the
    // media libraries are not loaded.
    void ReleaseState();

    // ---- Option parsing -----------------------------------------------------------------
    // Parses a multi-line "name=value" text and dispatches each line to SetOption.
    void ApplyOptionText(const std::string& text);
    // Handles one option through the option table, or through the generic path when the
    // table does not know the name. Failures raise FFMpegException.
    void SetOption(const std::string& name, const std::string& value);
    // Hands the option to the libraries' option contexts; false when nobody took it.
    // Never raises.
    bool SetGenericOption(const std::string& name, const std::string& value);
    bool SetGenericIntOption(const std::string& name, int64_t value);
    // Copies every remembered generic option whose flags contain all of `flags` (the
    // AV_OPT_FLAG_* values) from an option context to a library object. `target` and
    // `source` are AVClass-enabled objects (codec or format contexts).
    void CopyGenericOptions(void* target, void* source, int flags) const;
    // Sets the private options kept for the encoder of `kind` (an AVMediaType), or for the
    // muxer when `kind` is -1, on `target`: an encoder context allocated for its codec
    // (before avcodec_open2) or an output format context with its muxer (before
    // avformat_write_header). Options the target does not take are ignored; the result
    // is the number it took.
    int ApplyPrivateOptions(void* target, int kind) const;
    // Keeps a private option for the muxer (for example "preload" in microseconds).
    void SetPrivateFormatOption(const std::string& name, const std::string& value);

    // Finds the codec `name` as encoder or decoder of `kind`. An empty name succeeds with
    // AV_CODEC_ID_NONE. Old encoder names are resolved to today's. On failure ErrorText
    // holds "Unknown %s '%s'" or "Invalid %s type '%s'" with the name asked for; nothing
    // is raised.
    bool LookupCodec(const std::string& name, AVMediaType kind, bool encoder, AVCodecID& codecId,
                     const AVCodec** codec = nullptr);
    // Parses a duration or a date in microseconds; raises FFMpegException naming the kind
    // of time, the option and the text on failure.
    int64_t ParseTime(const std::string& optionName, const std::string& text, bool duration);

    // ---- Per-field setters (also used by the component's record fields) ----------------
    void SetFormat(const std::string& name);       // "f": both directions
    void SetInputFormat(const std::string& name);  // record InputFormat
    void SetOutputFormat(const std::string& name); // record OutputFormat, target presets
    void SetFrameRate(const std::string& value);   // "r"
    void SetFrameSize(const std::string& value);   // "s"
    void SetAspectRatio(const std::string& value); // "aspect"
    void SetCropTop(int32_t value);
    void SetCropBottom(int32_t value);
    void SetCropLeft(int32_t value);
    void SetCropRight(int32_t value);
    void SetPadTop(int32_t value);
    void SetPadBottom(int32_t value);
    void SetPadLeft(int32_t value);
    void SetPadRight(int32_t value);
    void SetPadColor(uint32_t rgb); // red in bits 0-7, green 8-15, blue 16-23
    // "vcodec" / "acodec" / "scodec": kind is AVMEDIA_TYPE_VIDEO, _AUDIO or _SUBTITLE.
    void SetCodecName(AVMediaType kind, const std::string& value);
    // "vtag" / "atag": kind is AVMEDIA_TYPE_VIDEO or _AUDIO.
    void SetCodecTag(AVMediaType kind, const std::string& value);
    void SetBitrateOption(const std::string& name, const std::string& value); // "b", "vb", "ab"
    void SetVerbosity(int32_t value);                                         // "v"
    void AddFrameHook(const std::string& argument);                           // "vhook"

    // The libraries' log level for an engine verbosity (-1 quiet ... 3 everything).
    static int LibraryLogLevel(int verbosity);

    // ---- Files, streams and presets ------------------------------------------------------
    // Which kinds of stream the opened inputs hold.
    struct TInputKinds {
        bool Video = false;
        bool Audio = false;
        bool Subtitle = false;
    };
    // Opens the next input with the current option state and consumes the per-file
    // options. False with ErrorText holding the reason; raises only "invalid codec_type".
    bool OpenInput(const std::string& fileName);
    // Creates the next output with its streams; false with ErrorText holding the reason.
    bool OpenOutput(const std::string& fileName);
    // A descriptor open on the file the next OpenOutput names (the task's exclusively
    // created part file): the output is written through it instead of opening the name
    // again, so it can never land where a link put there meanwhile points. -1: by name.
    // Set and cleared on the thread that sets the task up.
    int OutputDescriptor = -1;
    // Raises "invalid codec_type of input file" for a stream of an unknown kind.
    TInputKinds DetectInputKinds() const;
    // The first input picture as the output shows it: upright, with square pixels at its
    // display size, and its display aspect (width / height). Zero while no opened input has
    // pictures. Set by OpenInput on the thread that sets the task up.
    struct TPictureShape {
        int32_t Width = 0;
        int32_t Height = 0;
        float Aspect = 0;
    };
    TPictureShape InputPicture;
    // The text for a library failure `code` while opening `fileName`.
    static std::string OpenErrorText(const std::string& fileName, int code);
    void SetTarget(const std::string& value); // "target"
    // Fills the option state for the preset ("vcd", "svcd", "dvd", "dv", "dv50") in the
    // norm "pal", "ntsc", "film" or any other text to detect it (then `fallbackNorm`).
    void ApplyTarget(const std::string& preset, const std::string& norm,
                     const std::string& fallbackNorm);
    // Append one stream to `output`; raise FFMpegException on failure.
    void NewVideoStream(AVFormatContext* output);
    void NewAudioStream(AVFormatContext* output);
    void NewSubtitleStream(AVFormatContext* output);

    // The engine's own codec context of every stream of the open files.
    StreamCodecTable StreamCodecs;

    // ---- Transcode ----------------------------------------------------------------------
    // Set-up, loop and clean-up of one run over the given files; raises FFMpegException.
    // After it returns or raises, FinalCleanup closes whatever codec is still open.
    void Transcode(AVFormatContext** outputFiles, int outputCount, AVFormatContext** inputFiles,
                   int inputCount, const TStreamMap* maps, int mapCount);
    // Closes every codec still listed in OpenCodecs (the outer handler's last step).
    void FinalCleanup();
    // Whether a custom hook handler takes the decoded pictures (the component's engine
    // says so); stream copy of video is refused then.
    virtual bool CustomHookAssigned() const { return false; }

    // The run's state; built by the set-up, freed by the clean-up (worker thread only).
    std::vector<InputFileState> InputFileStates;
    std::vector<InputStreamState> InputStreams;
    std::vector<OutputStreamState> OutputStreams;
    OpenCodecRegistry OpenCodecs;
    uint8_t* BitBuffer = nullptr;        // BitBufferSize bytes, av_malloc'd
    std::vector<uint8_t> HeadersWritten; // per output file of the run
    int64_t TimerStartUs = 0;            // wall clock when the headers were written

    // ---- Main loop ----------------------------------------------------------------------
    // Writes one packet of an output stream: its timestamps are already in the stream's
    // time base and its stream_index is set. The packet goes through the stream's
    // bit-stream filter chain, then to the muxer's interleaving; it is unreferenced in
    // every case. A write error raises FFMpegException. While the encoder stage runs, a
    // sound packet is handed to the stage (PostPacket), which writes it in its turn.
    void WritePacket(AVFormatContext* output, AVPacket* packet, OutputStreamState& ost);
    // WritePacket's own work on the thread that writes: filters, then the muxer.
    void MuxPacket(AVFormatContext* output, AVPacket* packet, OutputStreamState& ost);
    // The pause gate, called once per loop iteration (TFFmpeg holds the task there while
    // it is paused).
    virtual void WaitWhilePaused() {}
    // The same gate inside a long run of pictures written for one input picture, so a
    // pause holds there too (not counted as a loop iteration).
    virtual void HoldWhilePaused() {}
    // The packet loop between the headers and the trailers: reads from the input furthest
    // behind, decodes or copies, and ends at end of input, at a limit or on a stop
    // request; then flushes every decoder and the encoders it feeds.
    void RunMainLoop(AVFormatContext** outputFiles, int outputCount, AVFormatContext** inputFiles,
                     int inputCount);
    // Decodes (or copies) one packet of the input stream `istIndex` and hands the result
    // to every output stream it feeds; a null packet flushes the stream at end of input.
    // Returns 0, or -1 on a decoding error.
    int DecodePacket(int istIndex, AVPacket* packet);
    // DecodePacket's ways: a copied stream's packet to its outputs, a subtitle packet, and
    // the frames of an audio or video packet (null: the decoder drained, then the stream's
    // end handed on: FinishInputStream); each decoded frame gets its time and goes to the
    // output paths (TakeDecodedFrame). -1 on a decoding error.
    int CopyInputPacket(int istIndex, const AVPacket* packet);
    int DecodeSubtitlePacket(int istIndex, AVPacket* packet);
    int DecodeFrames(int istIndex, AVPacket* packet);
    void TakeDecodedFrame(int istIndex, AVFrame* frame);
    void FinishInputStream(int istIndex);
    // Calls `perOutput(output file, ost)` for every output stream input stream `istIndex`
    // feeds, once the input has reached the start time.
    template <class PerOutput> void ForOutputsAfterStart(int istIndex, PerOutput&& perOutput) {
        if (!(StartTime == 0 || InputStreams[istIndex].Pts >= StartTime))
            return;
        for (OutputStreamState& ost : OutputStreams)
            if (ost.SourceIndex == istIndex)
                perOutput(Loop.OutputFiles[ost.FileIndex], ost);
    }
    // Encodes a decoded subtitle for `ost` and writes it; `pts` is the input packet's pts.
    void WriteSubtitle(AVFormatContext* output, OutputStreamState& ost, InputStreamState& ist,
                       AVSubtitle* subtitle, int64_t pts);
    // Hand a decoded audio frame or picture of input stream `istIndex` to every output
    // stream it feeds (after the start time).
    void DeliverAudio(int istIndex, AVFrame* frame);
    void DeliverVideo(int istIndex, AVFrame* frame);
    // The deinterlacer of input stream `istIndex` (made with the first picture that needs
    // one), or null when its pictures stay as they are (DeinterlaceMode, the outputs' own
    // interlaced coding).
    TDeinterlacer* DeinterlacerFor(int istIndex, const AVFrame* frame);
    // Every picture the deinterlacer has finished goes out at its own time; at the end of
    // input the deinterlacer gives out what it holds.
    void DeliverDeinterlaced(int istIndex, TDeinterlacer& deinterlacer);
    void FlushDeinterlacer(int istIndex);
    // One picture, whole, to every output stream of input stream `istIndex` (turned
    // upright, through the hooks, after the start time), at the input stream's Pts.
    void DeliverPicture(int istIndex, AVFrame* frame);
    // End of input for an encoding output: its encoder's last packets are written.
    void FlushEncoder(AVFormatContext* output, OutputStreamState& ost);
    // Stream copy of one input packet to `ost` (from its first key frame on).
    void CopyPacket(AVFormatContext* output, OutputStreamState& ost, InputStreamState& ist,
                    const AVPacket* packet);
    // The interrupt callback of the inputs (opaque: the engine): a stop request ends a
    // read that waits for data. Takes effect on reads when set before the input is opened;
    // the loop sets it on every input too.
    static int InterruptCallback(void* engine);
    // The output time of a stream in seconds, as the input choice and the reports see it.
    double OutputStreamTime(const OutputStreamState& ost) const;

    // Per output stream, what the packets written so far said (see StageState.h).
    using TWrittenStream = ::TWrittenStream;
    MuxState Mux;
    // WritePacket's way through the filters from `chain[level]` on; unreferences the packet.
    void writeFiltered(AVFormatContext* output, AVPacket* packet, OutputStreamState& ost,
                       const std::vector<struct AVBSFContext*>& chain, std::size_t level);
    MainLoopState Loop; // the loop's outputs, decoded frame and subtitle buffer
    // Frees the loop's working state (filters, frame, subtitle buffer, statistics file).
    void FreeLoopState();

    // ---- Encoder stage -------------------------------------------------------------------
    // Whether this run's encoders may work on a thread of their own (see FFmpegPipeline.cpp):
    // more than one codec thread allowed, one input, no limits or choices of input that
    // read the encoders' progress, and only encoded sound and pictures, pictures among them.
    bool EncoderStageWanted(int inputCount) const;
    // False keeps the encoders on the worker whatever the thread count (the tests and the
    // benchmark compare both ways). Set before the run.
    bool UseEncoderStage = true;
    // The thread count each decoder and encoder gets (ThreadCount, but 1 in a build whose
    // thread checker cannot see inside the libraries).
    int32_t CodecThreadCount() const {
#ifdef VIDBRISK_ONE_THREAD_PER_CODEC
        return 1;
#else
        return ThreadCount;
#endif
    }
    // Starts the stage thread (the worker, once the loop's state is ready); FinishEncoderStage
    // waits until it has run every job and raises the first failure of one; StopEncoderStage
    // drops what is queued and ends it. Worker only.
    void StartEncoderStage();
    void FinishEncoderStage();
    void StopEncoderStage();
    // Hand a picture or the end of input of one video input stream to the stage, for every
    // output stream it feeds (the picture by reference). Sound is encoded on the worker,
    // beside the decoders, and only its packets go to the stage (PostPacket takes the
    // packet's reference), so the two encoders work at the same time.
    void PostVideo(int istIndex, AVFrame* picture);
    void PostFlush(int istIndex);
    void PostPacket(AVFormatContext* output, AVPacket* packet, OutputStreamState& ost);
    // Calls `perOutput(output file, ost)` for every output stream that encodes what input
    // stream `istIndex` gives, in table order.
    template <class PerOutput> void ForEncodingOutputs(int istIndex, PerOutput&& perOutput) {
        for (OutputStreamState& ost : OutputStreams)
            if (ost.SourceIndex == istIndex && ost.EncodingNeeded)
                perOutput(Loop.OutputFiles[ost.FileIndex], ost);
    }
    // The input stream whose clock drives the sync of `ost`, as the thread that encodes it
    // sees it (the stage's copy for pictures while the stage runs).
    const InputStreamState& SyncInput(const OutputStreamState& ost) const;
    // Told on the stage's thread when it begins and ends (TFFmpeg names the thread to the
    // component, so library messages from it count as the task's).
    virtual void EncoderStageStarted() {}
    virtual void EncoderStageEnded() {}
    struct TEncoderSide {
        // Created and ended by the worker; null while the encoders run on the worker.
        std::unique_ptr<EncoderStage> Stage;
        // Set by the worker before the stage starts and cleared after it ended, so the stage
        // reads it without a lock.
        bool Active = false;
        // The stage's own view of the input streams: each job brings the clocks as they were
        // when it was queued. Filled by the worker before the stage starts, then the stage
        // thread's alone.
        std::vector<InputStreamState> Inputs;
        // Whether the stop had come when the running job was queued (stage thread only).
        bool StopAtPost = false;
    };
    TEncoderSide EncoderSide;

    // ---- Progress -----------------------------------------------------------------------
    // One line of per-frame video statistics for an encoded picture of `frameSize` bytes
    // (written when the statistics file is asked for).
    void WriteVideoStats(OutputStreamState& ost, int frameSize);
    // The progress entry: TFFmpeg hands the values to the component's handler.
    virtual void ReportProgress(int32_t frameNumber, int32_t fps, int32_t currentDurationMs,
                                float quality, float bitRate, int64_t currentSize,
                                int32_t totalOutputDurationMs) {}
    // Whether a progress handler takes the reports (then no text line is logged).
    virtual bool ProgressAssigned() const {
        return false;
    }
    // The interim (isLast false) or the final report over the run's outputs.
    void PrintReport(AVFormatContext** outputFiles, bool isLast);
    // Microseconds between two interim reports (the task's ProgressIntervalUs).
    int64_t ProgressIntervalMicroseconds() const;
    ProgressState Progress; // quantiser counts, statistics file, last report time

    // ---- Audio path ---------------------------------------------------------------------
    // Audio travels from the decoder to the encoders as signed 16-bit interleaved samples.
    // Converts a decoded frame to that form in AudioDecodeBuffer, keeping its rate and
    // channels; returns the byte count, or -1 when the frame cannot be converted.
    int ConvertDecodedAudio(InputStreamState& ist, const AVFrame* frame);
    // Scales every 16-bit sample to (sample x AudioVolume + 128) >> 8, clipped to 16 bits;
    // does nothing at 256. An odd last byte is left alone.
    void ApplyAudioVolume(uint8_t* samples, int sizeBytes);
    // One block of 16-bit interleaved samples of `ist` for the encoding audio output `ost`:
    // sync (silence, dropping, drift compensation), resampling, framing into the
    // encoder's frame size, encoding and writing. Raises FFMpegException only when the
    // resampler cannot be created (or a packet cannot be written).
    void AudioOut(AVFormatContext* output, OutputStreamState& ost, InputStreamState& ist,
                  const uint8_t* samples, int sizeBytes);
    // One block of decoded samples on its way through AudioOut: what is left of it and the
    // input time of its first sample.
    struct TAudioBlock {
        const uint8_t* Samples;
        int SizeBytes;
        int FrameBytes; // bytes per sample frame (all channels) of the decoder
        double InputSeconds;
    };
    // AudioOut's steps: the start of the sound (once per output), and the sync method's
    // corrections. Each may shorten the block or put silence
    // in front; false when nothing of the block is left to encode.
    bool AlignAudioStart(AVFormatContext* output, OutputStreamState& ost, InputStreamState& ist,
                         TAudioBlock& block);
    bool ApplyAudioSyncMethod(OutputStreamState& ost, InputStreamState& ist, TAudioBlock& block);
    // A block of the decoder's channels and rate (`decFrameBytes` bytes per sample frame)
    // resampled into the encoder's and handed to it.
    void ResampleAndEncode(AVFormatContext* output, OutputStreamState& ost, const uint8_t* samples,
                           int sizeBytes, int decFrameBytes);
    // End of input for an encoding audio output: the resampler's last samples and what
    // the FIFO still holds go out as a last (short) frame, then the encoder's delayed
    // packets are written.
    void FlushAudioEncoder(AVFormatContext* output, OutputStreamState& ost);
    // The steps of the two above: the resampler for the current input, one block of the
    // encoder's rate and channels into the encoder (through the FIFO for framed encoders),
    // and one frame (null: end of input) with the writing of the packets it gives.
    void PrepareResampler(OutputStreamState& ost, const AVCodecContext* dec,
                          const AVCodecContext* enc);
    void EncodeAudioBlock(AVFormatContext* output, OutputStreamState& ost, const uint8_t* block,
                          int blockBytes);
    void EncodeAudioFrame(AVFormatContext* output, OutputStreamState& ost, const uint8_t* input,
                          int sampleCount);
    int64_t NextAudioStamp(const AVCodecContext* enc, int64_t syncOpts, int sampleCount);

    // The audio path's buffers and converters (see StageState.h).
    using TAudioWork = ::TAudioWork;
    AudioPathState Audio;

    // ---- Video path ---------------------------------------------------------------------
    // Once per decoded picture of an input video stream, before any output sees it:
    // deinterlacing, the before-hook gate with its time windows, then the custom hook
    // (on a BGR bitmap) or the frame hook plug-ins. Returns `decoded` itself when nothing
    // applies, else the engine's working picture (valid until the next call; `decoded` is
    // never written). The hook pts is the input stream's Pts.
    AVFrame* PreprocessPicture(InputStreamState& ist, AVFrame* decoded);
    // The decoded picture turned upright by the stream's display rotation: `decoded` itself
    // when it has none, else the engine's turned picture (valid until the next call).
    AVFrame* UprightPicture(const InputStreamState& ist, AVFrame* decoded);
    // Encodes `picture` for the encoding video output `ost` 0..n times as the frame-rate
    // sync decides, cropped, scaled and padded into the encoder's geometry, and writes the
    // packets. Returns the number of pictures handed to the encoder (FrameNumber grew by
    // as much). Raises "Video encoding failed" (and write errors).
    int VideoOut(AVFormatContext* output, OutputStreamState& ost, InputStreamState& ist,
                 AVFrame* picture);
    // Encodes `frame` (already in the encoder's geometry) `frames` times at the stream's
    // next frame numbers and writes the packets; a pause holds and a stop ends the run of
    // repeats. Returns the number of pictures handed to the encoder.
    int EncodeRepeated(AVFormatContext* output, OutputStreamState& ost, AVFrame* frame,
                       int64_t frames);
    // Video of a cover (OutputStreamState::StillPicture). A decoded picture of input stream
    // `istIndex` becomes the still picture of every such output it feeds; after each packet
    // of an input stream the stills it is the clock of are encoded up to the end of its
    // sound; at the end of the run each still reaches the end of the sound and its encoder
    // is drained. Advancing returns the number of pictures handed to the encoder.
    void HoldStillPictures(int istIndex, AVFrame* picture);
    void AdvanceStillPictures(int istIndex);
    int AdvanceStillPicture(AVFormatContext* output, OutputStreamState& ost);
    void FinishStillPictures();
    // End of input: drains the video encoder of `ost` and writes what it still holds. A
    // second call does nothing.
    void FlushVideoEncoder(AVFormatContext* output, OutputStreamState& ost);
    // The custom hook events of the task (TFFmpeg's members override these).
    virtual bool BeforeHookAssigned() const {
        return false;
    }
    virtual void RaiseCustomHook(TBitmap* bitmap, int32_t frameNumber, int64_t pts, bool& update,
                                 bool& stopHook) {}
    // Hook counters, working picture, bitmap and conversions (see VideoPathState).
    VideoPathState VideoState;

private:
    void PostEncoderJob(std::function<void()> encode);
    // The option table: true when `name` is one of its entries (and was handled).
    bool DispatchOption(const std::string& name, const std::string& value);
    void ResetRunFlags();
    void FreeOptionContexts();
    void LookupFormat(const std::string& name, bool input, bool output);
    void SetCrop(int32_t& field, int32_t& frameSize, int32_t value, const char* oddMessage,
                 bool vertical);
    void SetPad(int32_t& field, int32_t value, const char* oddMessage);
    void SetMatrix(std::vector<uint16_t>& matrix, const std::string& value);
    void SetTimestampScale(const std::string& value);
    void AddStreamMap(const std::string& value);
    void AddMetadataMap(const std::string& value);
    void SetChapterMap(const std::string& value);     // "map_chapters": input file index
    void SetPictureComment(const std::string& value); // "picture_comment": file:stream
    void SetPixelFormat(const std::string& value);
    // "auto", "always" or "never"; raises FFMpegException for any other text.
    void SetDeinterlaceMode(const std::string& value);
    void SetVStatsDefault();
    void SetRecordingTime(const std::string& value);
    void SetRecordTimestamp(const std::string& value);
    void SetQScale(const std::string& value);
    void NewStreamOption(AVMediaType kind);
    bool TranslateOldOption(const std::string& name, const std::string& value, bool& result);
    // The generic option steps over the option contexts, without translation.
    bool SetContextOption(const std::string& name, const std::string& value);
    void KeepPrivateOption(const std::string& name, const std::string& value);

    // Files and streams.
    bool FailOpenInput(AVFormatContext* context, const std::string& text);
    // OpenInput's steps: the forced decoders (false with ErrorText), and the opened file
    // taken into the file table with its timestamp offset (the per-file options used up).
    bool SetInputDecoders(AVFormatContext* context);
    void TakeOpenedInput(AVFormatContext* context, const std::string& fileName, int64_t timestamp);
    void ConfigureInputStreams(AVFormatContext* context, const std::string& fileName);
    // A video input stream's decoder settings, picture shape, pixel format and rate.
    void ConfigureInputVideo(AVFormatContext* context, AVStream* stream, AVCodecContext* codec,
                             StreamCodecEntry& entry, const std::string& fileName);
    // The frame size and aspect of a video input stream (and InputPicture for the first).
    void TakeInputPictureShape(AVFormatContext* context, AVStream* stream,
                               const AVCodecContext* codec);
    // The same for an attached picture (cover art) of an input with or without real video.
    void ConfigureCoverInput(AVStream* stream, AVCodecContext* codec, bool realVideo);
    bool FailOpenOutput(AVFormatContext* context, bool listed, const std::string& text);
    bool CreateOutputStreams(AVFormatContext* context);
    // The input stream that feeds output stream `outputIndex` by the maps, else the first
    // subtitle of the inputs; null when none.
    const AVStream* SubtitleSource(int outputIndex) const;
    // Whether the subtitle that would become output stream `outputIndex` can go into the
    // output as the options ask (as it is, with the named encoder, or with the format's
    // own); a subtitle that cannot is left out with a log line. Without an encoder named,
    // names the format's own.
    bool SubtitleFits(AVFormatContext* context, int outputIndex);
    // Whether one of the output's streams is encoded or copied video.
    bool HasVideoStream(const AVFormatContext* context);
    void SetOutputMetadata(AVFormatContext* context);
    void ReleaseFiles();
    void SetVideoEncoderParameters(AVFormatContext* output, AVCodecContext* codec,
                                   const AVCodec* encoder);
    void SetVideoPictureParameters(AVCodecContext* codec, const AVCodec* encoder);
    void SetRateControlOverride(AVCodecContext* codec);
    AVStream* AddOutputStream(AVFormatContext* output);

    // Transcode set-up and clean-up.
    void SetupTranscode(AVFormatContext** outputFiles, int outputCount,
                        AVFormatContext** inputFiles, int inputCount, const TStreamMap* maps,
                        int mapCount);
    // The set-up's phases: the per-stream state of the inputs, the parameters of output
    // stream `n` (copy or encode), opening the codecs with the description of the outputs
    // and the mapping, and the SDP text of RTP outputs.
    void BuildInputStreamStates(AVFormatContext** inputFiles, int inputCount);
    void SetOutputStreamParameters(AVFormatContext** outputFiles, int n);
    void OpenAndDescribeCodecs(AVFormatContext** outputFiles, int outputCount);
    void LogSdp(AVFormatContext** outputFiles, int outputCount);
    // Marks the outputs that show an attached picture as a still picture and gives each
    // the sound it lasts for (the map's sync stream, else the first sound that goes out).
    void SetupStillPictures(AVFormatContext** outputFiles);
    // One log line for every input stream no output takes.
    void LogStreamsLeftOut();
    void MapOutputStreams(AVFormatContext** outputFiles, int outputCount,
                          AVFormatContext** inputFiles, int inputCount, const TStreamMap* maps,
                          int mapCount);
    void SetCopyParameters(AVFormatContext* output, OutputStreamState& ost, InputStreamState& ist);
    void SetEncodeParameters(OutputStreamState& ost, InputStreamState& ist);
    void OpenPassLogFile(OutputStreamState& ost, int index);
    void OpenStreamCodecs(AVFormatContext** outputFiles);
    void CopyMetadataMaps(AVFormatContext** outputFiles, int outputCount,
                          AVFormatContext** inputFiles, int inputCount);
    // The input's chapters into every output without its own ("map_chapters"), moved
    // with the input's timestamp offset and cut at the recording time.
    void CopyChapters(AVFormatContext** outputFiles, int outputCount, AVFormatContext** inputFiles,
                      int inputCount);
    // The cover of "picture_comment" as the METADATA_BLOCK_PICTURE comment of every sound
    // stream of the Ogg outputs; a stream that holds no usable picture is left out (logged).
    void SetPictureComments(AVFormatContext** outputFiles, int outputCount,
                            AVFormatContext** inputFiles, int inputCount);
    void WriteHeaders(AVFormatContext** outputFiles, int outputCount);
    void FinishTranscode(AVFormatContext** outputFiles, int outputCount);
    void CloseEncoder(AVCodecContext** slot);
    void CloseDecoder(AVCodecContext** slot);
    void FreeTranscodeState();
};
