// How big an output will be before it is converted: the input's length and picture, and the
// rates the chosen settings give the encoders.
#pragma once

#include "OptionRecords.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

class TAVProbe;

// What an estimate needs to know of an input file.
struct InputFacts {
    int64_t DurationMs = -1; // -1 when the container does not say
    int Width = 0;           // of the first video stream; 0 without one
    int Height = 0;
    double FrameRate = 0.0; // 0 when unknown
    bool HasVideo = false;
    bool HasAudio = false;

    bool operator==(const InputFacts&) const = default;
};

// The facts of the file the probe has open (after a successful LoadFile).
InputFacts ProbeInputFacts(const TAVProbe& probe);

// An estimated output size. Approximate when a rate had to be guessed (a quality entry
// instead of a bit rate, lossless sound); such estimates are shown with "about".
struct SizeEstimate {
    int64_t Bytes = -1; // -1 when nothing can be said (no duration, no format)
    bool Approximate = false;
    bool known() const { return Bytes >= 0; }
};

// The output size of a task with these output options (after the format's apply step) for
// an input with these facts.
SizeEstimate EstimateOutputSize(const TOutputOptions& options, const InputFacts& input);

// A size in bytes as the window shows it: "0.8 kB", "45.3 kB", "12.4 MB", "1.2 GB"
// (1000-based, one decimal; a size that rounds up to the next unit is shown in it).
std::string ByteSizeText(int64_t bytes);

// Typical video rates of the encoders when they are given a quality instead of a bit rate,
// in bits per pixel of each frame at a reference quality value. Each `HalvingStep` added to
// the value halves the rate for the rate-factor encoders; for a fixed quantiser
// (HalvingStep 0) the rate goes with 1 / value.
struct QualityRate {
    std::string_view Encoder;
    std::string_view Option; // "crf" or "qscale"
    int ReferenceValue;
    double BitsPerPixel;
    int HalvingStep;
};
extern const std::array<QualityRate, 5> QualityRates;
// The rate an encoder not in the table is assumed to take for a quality value.
inline constexpr double DefaultBitsPerPixel = 0.1;
// The sound rate assumed when the settings give none (bits/s).
inline constexpr int32_t DefaultAudioBitrate = 128000;
// The bit rates of the disc targets ("vcd", "svcd", "dvd"), video and sound, bits/s.
struct TargetRates {
    int32_t Target; // TOutputOptions::Target
    int32_t VideoBitrate;
    int32_t AudioBitrate;
};
extern const std::array<TargetRates, 3> DiscTargetRates;
