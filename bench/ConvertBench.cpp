// The conversion benchmark: generates a 1280x720 30 fps H.264/AAC clip and four 30 s MP3
// files, converts the clip through the engine (FLV, MP4, MP4 H.264, MP3) and through the
// codec floor, each with one codec thread and with the threads the libraries choose, each
// job in a child process; compares MP4 H.264 with GStreamer's default pipeline, a batch
// of MP3 files two at a time with the floor one after another, and measures the fixed
// costs of the converter and of each file. Prints Markdown tables.
#include "ClipWriter.h"
#include "FFmpeg.h"
#include "FloorTranscoder.h"
#include "AVProbe.h"
#include "MediaLibraries.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Measure {
    bool ok = false;
    double wallSeconds = 0;
    double peakMb = 0;
    double cpuSeconds = 0; // user and system time of all its threads
};

double cpuSecondsOf(const rusage& usage) {
    return usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec +
           usage.ru_stime.tv_usec / 1e6;
}

// Waits for `child`, started at `start`: its wall time, CPU time and peak memory, and whether
// it exited with status 0.
Measure waitForChild(pid_t child, std::chrono::steady_clock::time_point start) {
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    Measure result;
    result.wallSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    result.peakMb = usage.ru_maxrss / 1024.0;
    result.cpuSeconds = cpuSecondsOf(usage);
    result.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return result;
}

// The best of `repeat` runs: on a shared machine the fastest run is the one least
// disturbed by other work. A failed run ends the series.
Measure bestOf(const std::function<Measure()>& run, int repeat) {
    Measure best;
    for (int i = 0; i < repeat; ++i) {
        const Measure one = run();
        if (!one.ok)
            return one;
        if (i == 0 || one.wallSeconds < best.wallSeconds)
            best = one;
    }
    return best;
}

// Runs `work` in a child process; its wall time and its peak resident memory.
Measure measureOnce(const std::function<int()>& work) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        return {};
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        close(pipeEnds[0]);
        int frames = -1;
        try {
            frames = work(); // the child's result: negative on failure
        } catch (const std::exception& error) {
            std::fprintf(stderr, "job failed: %s\n", error.what());
        }
        if (write(pipeEnds[1], &frames, sizeof frames) != sizeof frames)
            _exit(2);
        _exit(frames < 0 ? 1 : 0);
    }
    close(pipeEnds[1]);
    int frames = -1;
    if (read(pipeEnds[0], &frames, sizeof frames) != sizeof frames)
        frames = -1;
    close(pipeEnds[0]);
    return waitForChild(child, start);
}

Measure measureInChild(const std::function<int()>& work, int repeat) {
    return bestOf([&] { return measureOnce(work); }, repeat);
}

// Runs a program with `args` (output discarded); its wall time and peak memory.
Measure measureCommand(const std::vector<std::string>& args) {
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        std::vector<std::string> copy = args;
        std::vector<char*> argv;
        for (std::string& arg : copy)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    return waitForChild(child, start);
}

Measure bestCommand(const std::vector<std::string>& args, int repeat) {
    return bestOf([&] { return measureCommand(args); }, repeat);
}

struct Job {
    const char* label;
    const char* extension;
    const char* options;      // the engine's options
    const char* videoEncoder; // floor: "" = no video
    int64_t videoBitRate;
    const char* audioEncoder;
    int sampleRateHz, channels;
    int64_t audioBitRate;
};

const Job kJobs[] = {
    {"FLV", "flv", "vcodec=flv\nb=300000\nacodec=mp3\nar=22050\nab=64000", "flv", 300000,
     "libmp3lame", 22050, 2, 64000},
    {"MP4", "mp4", "vcodec=mpeg4\nb=800000\nacodec=aac\nar=44100\nac=2\nab=128000", "mpeg4", 800000,
     "aac", 44100, 2, 128000},
    // x264 at the preset the job builder gives it.
    {"MP4 H.264", "mp4",
     "vcodec=libx264\npreset=faster\nb=1200000\nacodec=aac\nar=44100\nac=2\nab=128000", "libx264",
     1200000, "aac", 44100, 2, 128000},
    {"MP3", "mp3", "vn=1\nacodec=mp3\nar=44100\nac=2\nab=128000", "", 0, "libmp3lame", 44100, 2,
     128000},
};

int runEngine(const std::string& input, const std::string& output, const char* options,
              int threads) {
    TCustomFFmpeg engine;
    engine.InitOptionContexts();
    engine.ThreadCount = threads;
    // VIDBRISK_BENCH_NO_STAGE=1 keeps the encoders on the worker (to measure the stage).
    engine.UseEncoderStage = std::getenv("VIDBRISK_BENCH_NO_STAGE") == nullptr;
    if (!engine.OpenInput(input))
        throw std::runtime_error(engine.ErrorText);
    engine.ApplyOptionText(options);
    if (!engine.OpenOutput(output))
        throw std::runtime_error(engine.ErrorText);
    engine.Transcode(engine.OutputFiles, engine.OutputFileCount, engine.InputFiles,
                     engine.InputFileCount, engine.StreamMaps, engine.StreamMapCount);
    engine.FinalCleanup();
    engine.ReleaseState();
    return 0;
}

double millisecondsOf(const std::function<void()>& step) {
    const auto start = std::chrono::steady_clock::now();
    step();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

void printRatio(const char* job, const char* threads, const Measure& engine, const Measure& other) {
    if (engine.ok && other.ok)
        std::printf("| %s | %s | %.2f | %.2f | %.2f | %.2f | %.0f | %.0f |\n", job, threads,
                    engine.wallSeconds, other.wallSeconds, engine.wallSeconds / other.wallSeconds,
                    engine.cpuSeconds / other.cpuSeconds, engine.peakMb, other.peakMb);
    else
        std::printf("| %s | %s | %s | %s | - | - | - | - |\n", job, threads,
                    engine.ok ? "ok" : "failed", other.ok ? "ok" : "failed");
    std::fflush(stdout);
}

} // namespace

// The fixed costs of one file in a process of its own: the binding is made here first.
int measureFixedCosts(const std::string& clip, const std::string& output) {
    const double bindMs = millisecondsOf([] { LoadMediaLibraries("", true); });
    av_log_set_level(AV_LOG_QUIET);
    TAVProbe probe;
    const double probeMs = millisecondsOf([&] { probe.LoadFile(clip); });
    probe.CloseFile();
    TCustomFFmpeg engine;
    const double setupMs = millisecondsOf([&] {
        engine.InitOptionContexts();
        engine.OpenInput(clip);
        engine.ApplyOptionText(kJobs[0].options);
        engine.OpenOutput(output);
    });
    engine.ReleaseState();
    std::printf("| library binding | %.1f |\n| probe of the clip | %.1f |\n"
                "| task set-up: options, input and output opened | %.1f |\n",
                bindMs, probeMs, setupMs);
    return 0;
}

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--fixed-costs") == 0)
        return measureFixedCosts(argv[2], argv[3]);
    // One floor run of the batch: a song to MP3 at 128 kbit/s, 44100 Hz, stereo.
    if (argc == 4 && std::strcmp(argv[1], "--floor-mp3") == 0) {
        av_log_set_level(AV_LOG_QUIET);
        FloorJob job{argv[2], argv[3], "", 0, 0, {30, 1}, 0, "libmp3lame", 44100, 2, 128000, 1, ""};
        try {
            RunFloorJob(job);
        } catch (const std::exception& error) {
            std::fprintf(stderr, "floor failed: %s\n", error.what());
            return 1;
        }
        return 0;
    }
    double seconds = 20;
    int repeat = 3;
    std::string only; // a job label: only that job's rows of the first table
    // --clips-only writes the clips and stops (bench/modern.sh converts them itself).
    bool clipsOnly = false;
    for (int i = 1; i < argc; ++i)
        clipsOnly = clipsOnly || std::strcmp(argv[i], "--clips-only") == 0;
    fs::path folder = fs::temp_directory_path() / "vidbrisk-bench";
    // The converter beside the benchmark in the build tree.
    std::string converter =
        (fs::canonical("/proc/self/exe").parent_path().parent_path() / "cli" / "vidbrisk-convert")
            .string();
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--clips-only") == 0)
            --i;
        else if (std::strcmp(argv[i], "--seconds") == 0)
            seconds = std::atof(argv[i + 1]);
        else if (std::strcmp(argv[i], "--repeat") == 0)
            repeat = std::max(1, std::atoi(argv[i + 1]));
        else if (std::strcmp(argv[i], "--folder") == 0)
            folder = argv[i + 1];
        else if (std::strcmp(argv[i], "--converter") == 0)
            converter = argv[i + 1];
        else if (std::strcmp(argv[i], "--only") == 0)
            only = argv[i + 1];
    }
    if (!LoadMediaLibraries("", true)) {
        std::fprintf(stderr, "%s\n", LoadLibraryError().c_str());
        return 1;
    }
    fs::create_directories(folder);
    av_log_set_level(AV_LOG_QUIET); // the engine's format dumps would drown the tables

    // The clip: 1280x720, 30 fps, H.264 and AAC, as a camera or a download gives it.
    const fs::path clip = folder / "clip_720p.mp4";
    if (!fs::exists(clip)) {
        ClipRecipe recipe;
        recipe.muxer = "mp4";
        recipe.video = VideoRecipe{
            "libx264", 1280, 720, {30, 1}, static_cast<int>(seconds * 30), 4000000, "veryfast"};
        recipe.audio = AudioRecipe{"aac", 44100, 2, static_cast<int64_t>(seconds * 44100), 128000};
        ClipWriter(recipe).write(clip);
    }
    std::vector<std::string> songs;
    for (int i = 1; i <= 4; ++i) {
        const fs::path song = folder / ("song_" + std::to_string(i) + ".mp3");
        if (!fs::exists(song)) {
            ClipRecipe recipe;
            recipe.muxer = "mp3";
            recipe.audio = AudioRecipe{"libmp3lame", 44100, 2, 30 * 44100, 128000};
            ClipWriter(recipe).write(song);
        }
        songs.push_back(song.string());
    }
    if (clipsOnly)
        return 0;

    std::printf("| job | codec threads | engine s | floor s | engine / floor | CPU time engine / "
                "floor | engine MB | floor MB |\n|---|---|---|---|---|---|---|---|\n");
    Measure h264Auto;
    FloorJob h264Floor; // the MP4 H.264 floor job with the libraries' threads
    for (const Job& job : kJobs) {
        if (!only.empty() && only != job.label)
            continue;
        for (const int threads : {1, 0}) {
            const std::string tag = threads == 1 ? "1" : "auto";
            const std::string engineOut =
                (folder / ("engine_" + tag + "." + job.extension)).string();
            const std::string floorOut = (folder / ("floor_" + tag + "." + job.extension)).string();
            const Measure engine = measureInChild(
                [&] { return runEngine(clip.string(), engineOut, job.options, threads); }, repeat);
            FloorJob floorJob{clip.string(),
                              floorOut,
                              job.videoEncoder,
                              1280,
                              720,
                              {30, 1},
                              job.videoBitRate,
                              job.audioEncoder,
                              job.sampleRateHz,
                              job.channels,
                              job.audioBitRate,
                              threads,
                              std::strcmp(job.videoEncoder, "libx264") == 0 ? "faster" : ""};
            const Measure floor = measureInChild([&] { return RunFloorJob(floorJob); }, repeat);
            printRatio(job.label, threads == 1 ? "1" : "libraries' choice", engine, floor);
            if (threads == 0 && std::strcmp(job.videoEncoder, "libx264") == 0) {
                h264Auto = engine;
                h264Floor = floorJob;
            }
        }
    }

    if (!only.empty())
        return 0;
    // What a Linux user would script instead: GStreamer's default elements for the same
    // job (x264enc's bitrate is in kbit/s).
    const std::string gstOut = (folder / "gstreamer.mp4").string();
    const Measure gstreamer = bestCommand({"gst-launch-1.0",
                                           "-q",
                                           "filesrc",
                                           "location=" + clip.string(),
                                           "!",
                                           "decodebin",
                                           "name=d",
                                           "!",
                                           "queue",
                                           "!",
                                           "videoconvert",
                                           "!",
                                           "x264enc",
                                           "bitrate=1200",
                                           "!",
                                           "queue",
                                           "!",
                                           "mp4mux",
                                           "name=m",
                                           "!",
                                           "filesink",
                                           "location=" + gstOut,
                                           "d.",
                                           "!",
                                           "queue",
                                           "!",
                                           "audioconvert",
                                           "!",
                                           "audioresample",
                                           "!",
                                           "avenc_aac",
                                           "bitrate=128000",
                                           "!",
                                           "queue",
                                           "!",
                                           "m."},
                                          repeat);
    std::printf("\n| job | compared with | engine s | other s | engine / other | CPU time "
                "engine / other | engine MB | other MB |\n|---|---|---|---|---|---|---|---|\n");
    printRatio("MP4 H.264", "GStreamer's default pipeline", h264Auto, gstreamer);
    // The floor as a program on the libraries would write it without the job builder's
    // choice: x264 at its own default preset ("medium").
    h264Floor.videoPreset.clear();
    const Measure floorMedium = measureInChild([&] { return RunFloorJob(h264Floor); }, repeat);
    printRatio("MP4 H.264", "the floor at x264's default preset", h264Auto, floorMedium);

    // Four songs: the converter two at a time against the floor one after another.
    std::vector<std::string> batch = {converter,
                                      "-q",
                                      "-f",
                                      "MP3",
                                      "--overwrite",
                                      "--jobs",
                                      "2",
                                      "--audio-bitrate",
                                      "128",
                                      "--sample-rate",
                                      "44100",
                                      "-o",
                                      (folder / "batch").string()};
    fs::create_directories(folder / "batch");
    batch.insert(batch.end(), songs.begin(), songs.end());
    const Measure converterBatch = bestCommand(batch, repeat);
    // The floor as a program of its own, run once per file as a user would script it: each
    // run pays its start (the dynamic loader maps the libraries) as the converter does.
    const std::string self = fs::canonical("/proc/self/exe").string();
    Measure floorBatch;
    for (int attempt = 0; attempt < repeat; ++attempt) {
        Measure sum;
        sum.ok = true;
        for (std::size_t i = 0; i < songs.size() && sum.ok; ++i) {
            const Measure run =
                measureCommand({self, "--floor-mp3", songs[i],
                                (folder / ("floor_song" + std::to_string(i) + ".mp3")).string()});
            sum.ok = run.ok;
            sum.wallSeconds += run.wallSeconds;
            sum.cpuSeconds += run.cpuSeconds;
            sum.peakMb = std::max(sum.peakMb, run.peakMb);
        }
        if (!sum.ok || attempt == 0 || sum.wallSeconds < floorBatch.wallSeconds)
            floorBatch = sum;
        if (!sum.ok)
            break;
    }
    printRatio("4 x MP3 of 30 s", "four floor runs one after another (converter --jobs 2)",
               converterBatch, floorBatch);

    // Fixed costs: the converter's start, its catalogue, the library binding, a probe and a
    // task's set-up.
    std::printf("\n| fixed cost | ms |\n|---|---|\n");
    const auto commandMs = [&](const std::vector<std::string>& args) {
        const Measure m = bestCommand(args, std::max(repeat, 5));
        return m.ok ? m.wallSeconds * 1000 : -1.0;
    };
    std::printf("| converter start and exit (--version) | %.1f |\n",
                commandMs({converter, "--version"}));
    std::printf("| converter with the catalogue and one format's boxes (--list-settings FLV) | "
                "%.1f |\n",
                commandMs({converter, "--list-settings", "FLV"}));
    std::printf("| converter with the library binding and one probe (--probe) | %.1f |\n",
                commandMs({converter, "--probe", clip.string()}));
    std::fflush(stdout);
    // A fresh process of this program measures the binding, a probe and a task's set-up.
    std::fflush(stdout);
    if (std::system(("'" + self + "' --fixed-costs '" + clip.string() + "' '" +
                     (folder / "setup.flv").string() + "'")
                        .c_str()) != 0)
        std::printf("(the fixed costs could not be measured)\n");
    return 0;
}
