// Texts of a file-list row as the intake fills them from a probe of the file.
#pragma once

#include <cstdint>
#include <string>

class TAVProbe;

// The six sub-texts after the file name; the seventh, hidden one is always empty.
struct FileRowTexts {
    std::string VideoSize;
    std::string FrameRate;
    std::string Duration;
    std::string Output;
    std::string Progress;
    std::string Frames;
};

// Seconds as hours, minutes and seconds with at least two digits each, joined by sep:
// 0 gives 00:00:00, 3725 gives 01:02:05, 360000 gives 100:00:00.
std::string DurationText(char sep, double seconds);

// A frame rate rounded to two decimals (ties to even) in its shortest form: 30000/1001
// gives 29.97, 25/1 gives 25. A rate that is not a positive fraction gives "Unknown".
std::string FrameRateText(int numerator, int denominator);

// "Duration" text for a container duration in microseconds: DurationText, or "Unknown"
// when the duration is not known.
std::string ContainerDurationText(int64_t durationUs);

// Probes the file with the given probe and returns the row's texts: what the probe found
// and the output label, or "Error" in "Progress" when the file cannot be opened. Throws
// what the probe throws when the media libraries are not loaded.
FileRowTexts ProbeFileRow(TAVProbe& probe, const std::string& fileName,
                          const std::string& outputLabel);
