// Turns the display texts of the settings boxes into the values of a task's output options.
#pragma once

#include "FFmpegVCL.h"
#include "SettingsBoxes.h"

#include <stdexcept>
#include <string>

// Raised by an apply step when a bit-rate or sampling-rate text does not yield an integer.
// The message names the offending box text; the job builder catches it.
class SettingConversionError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The engine's frame-size text of one size text: "320 x 240 (VGA)" gives "320x240",
// "Original Video Size" gives "original".
std::string FrameSizeText(const std::string& sizeText);

// The apply step most profiles use: writes VideoBitrate, AudioBitrate, AudioSampleRate,
// VideoCodec, AudioCodec, FrameSize, AspectRatio, AudioChannels and DisableVideo from the
// current texts of the boxes. rowIndex is the file-list row being queued (not read).
// Throws SettingConversionError for a bit-rate or sampling-rate text without a number; the
// fields other than the three numbers are written before that.
void ApplyCommonSettings(const SettingsBoxes& boxes, const std::string& outputLabel,
                         TOutputOptions& options, int rowIndex);
