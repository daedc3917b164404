// The iPod family and the apply step that the Apple player rows share.
#pragma once

#include "SettingsBoxes.h"
#include "FFmpegVCL.h"

#include <string>
#include <string_view>

// Refills the settings boxes with this family's lists and defaults. variant: "Normal", "Extra" or
// "Wide Screen"; a text the family does not know fills as its first variant.
void FillAppleiPod(SettingsBoxes& boxes, std::string_view variant);

// Apply step of the iPod, iPod touch, Apple TV and Apple TV H264 rows: both bit rates in
// Kbps, the video codec mapped to its encoder, AAC audio whatever the audio codec box
// shows; channels and aspect ratio are left as the reset record has them. Throws
// SettingConversionError when a bit-rate or sampling-rate text has no leading number.
void ApplyHandheldSettings(const SettingsBoxes& boxes, const std::string& outputLabel,
                           TOutputOptions& options, int rowIndex);
