// Turns the display texts of the settings boxes into the values of a task's output options.
#pragma once

#include "FFmpegVCL.h"
#include "SettingsBoxes.h"

#include <stdexcept>
#include <string>
#include <string_view>

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
// "Original Video Size" and "Auto" leave FrameSize empty (the input's size is kept); the AMR
// narrow-band encoder always gets one channel.
// Throws SettingConversionError for a bit-rate or sampling-rate text without a number; the
// fields other than the three numbers are written before that.
void ApplyCommonSettings(const SettingsBoxes& boxes, const std::string& outputLabel,
                         TOutputOptions& options, int rowIndex);

// The encoder name for a video codec label ("H264" gives "libx264"); compared in lower case,
// unknown labels pass through lower-cased.
std::string VideoEncoderName(std::string_view codecLabel);
// The speed option the job builder gives `encoder` when the row sets none ("preset=faster"
// for libx264: its own default is too slow to keep up with the other encoders), or "".
std::string_view EncoderSpeedOption(std::string_view encoder);
// The encoder name for an audio codec label ("mp3" gives "libmp3lame", "M4A" gives
// "mpeg4aac"); compared in lower case, unknown labels pass through lower-cased.
std::string AudioEncoderName(std::string_view codecLabel);
// True for the output labels whose files carry sound only (compared in lower case).
bool IsAudioOnlyLabel(std::string_view outputLabel);

// The text before the first blank; empty when the text has no blank.
std::string TextBeforeFirstBlank(std::string_view text);
// Reads a whole text as a 32-bit decimal integer; throws SettingConversionError naming
// boxText and what (for example "audio bit rate") when it is empty or not a number.
int32_t SettingNumber(const std::string& numberText, const std::string& boxText, const char* what);

// The engine's frame-rate text for a frame-rate box text: "Auto", an empty or an
// unreadable text give "" (keep the input's rate); the NTSC rates become exact fractions
// ("29.97 fps [NTSC]" gives "30000/1001"), whole rates lose a ".0" ("15.0 fps" gives "15").
std::string FrameRateText(const std::string& frameRateText);
// Sets FrameRate from the frame-rate box; leaves it alone when FrameRateText is empty.
void ApplyFrameRate(const SettingsBoxes& boxes, TOutputOptions& options);
