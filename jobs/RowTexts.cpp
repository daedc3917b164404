#include "RowTexts.h"

#include "AVProbe.h"

#include <cfenv>
#include <cinttypes>
#include <cmath>
#include <cstdio>

namespace {

std::string twoDigits(int64_t value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2" PRId64, value);
    return text;
}

// Rounds to the nearest integer with ties to even, whatever rounding mode is in force.
double roundHalfEven(double value) {
    const int saved = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double rounded = std::nearbyint(value);
    std::fesetround(saved);
    return rounded;
}

} // namespace

std::string DurationText(char sep, double seconds) {
    if (!std::isfinite(seconds))
        return "-";
    const int64_t minutes = static_cast<int64_t>(std::trunc(seconds / 60.0));
    const int64_t secs = static_cast<int64_t>(roundHalfEven(seconds - 60.0 * minutes));
    const int64_t hours = minutes / 60;
    const int64_t restMinutes = minutes % 60;
    return twoDigits(hours) + sep + twoDigits(restMinutes) + sep + twoDigits(secs);
}

std::string FrameRateText(int numerator, int denominator) {
    if (numerator <= 0 || denominator <= 0)
        return "Unknown";
    const double hundredths = roundHalfEven(static_cast<double>(numerator) / denominator * 100.0);
    const int64_t value = static_cast<int64_t>(hundredths);
    std::string text = std::to_string(value / 100);
    const int64_t fraction = value % 100;
    if (fraction != 0) {
        char digits[4];
        std::snprintf(digits, sizeof digits, "%02d", static_cast<int>(fraction));
        std::string decimals(digits);
        if (decimals.back() == '0')
            decimals.pop_back();
        text += "." + decimals;
    }
    return text;
}

std::string ContainerDurationText(int64_t durationUs) {
    // Whole seconds, truncated towards zero; an unknown duration is a large negative
    // number whose text carries a minus sign.
    const int64_t seconds = durationUs / 1000000;
    const std::string text = DurationText(':', static_cast<double>(seconds));
    return text.find('-') != std::string::npos ? "Unknown" : text;
}

FileRowTexts ProbeFileRow(TAVProbe& probe, const std::string& fileName,
                          const std::string& outputLabel) {
    FileRowTexts row;
    if (!probe.LoadFile(fileName)) {
        row.Progress = "Error";
        return row;
    }
    if (probe.VideoStreamCount > 0) {
        const TAVStreamInfo video = probe.GetVideoInfo();
        row.VideoSize = std::to_string(video.Width) + "x" + std::to_string(video.Height);
        row.FrameRate = FrameRateText(video.FrameRateNum, video.FrameRateDen);
    } else {
        row.VideoSize = " ";
        row.FrameRate = " ";
    }
    row.Duration = ContainerDurationText(probe.GetFileInfo().Duration);
    row.Output = outputLabel;
    return row;
}
