// The 3GPP mobile video family (3GP and 3G2 rows) and its own apply step.
#pragma once

#include "SettingsBoxes.h"
#include "FFmpegVCL.h"

#include <array>
#include <string>
#include <string_view>

// Refills the settings boxes with this family's lists and defaults. variant: "3GP" or "3G2" (both
// fill the same lists); a text the family does not know fills as its first variant.
void FillGP3(SettingsBoxes& boxes, std::string_view variant);

// The AMR narrow-band bit rates in bits per second, "4750 bps" to "12200 bps"; the BlackBerry
// 3GP and AMR variants offer them too.
extern const std::array<const char*, 8> MobileAudioBitrateList;

// Apply step of the 3GP and 3G2 rows: video bit rate in Kbps, audio bit rate and sampling
// rate as plain numbers, the video codec mapped to its encoder, AMR narrow-band audio
// whatever the audio codec box shows, and always one channel. Throws
// SettingConversionError when a bit-rate or sampling-rate text has no leading number.
void ApplyMobileSettings(const SettingsBoxes& boxes, const std::string& outputLabel,
                         TOutputOptions& options, int rowIndex);
