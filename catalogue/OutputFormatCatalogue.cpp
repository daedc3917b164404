// The rows of the output format catalogue with their fill and apply steps, and the format box.
#include "FillComboOutputFormat.h"
#include "SettingMapping.h"

#include "AAC.h"
#include "ASF.h"
#include "AU.h"
#include "AVI.h"
#include "AppleTV.h"
#include "AppleTVh264.h"
#include "AppleiPod.h"
#include "AppleiPodTOUCH.h"
#include "Archos.h"
#include "BlackBerry.h"
#include "DVD.h"
#include "GP3.h"
#include "M4A.h"
#include "MOV.h"
#include "MP3.h"
#include "MP4.h"
#include "MPEG.h"
#include "Modern.h"
#include "OGG.h"
#include "PS3.h"
#include "PSP.h"
#include "ReaLMedia.h"
#include "SWF.h"
#include "VCD.h"
#include "WAVwma.h"
#include "WMV.h"
#include "ZUNE.h"
#include "Zen.h"
#include "iPhone.h"
#include "iRiver.h"

namespace {
constexpr ProfileApplyFunction Common = ApplyCommonSettings;
constexpr ProfileApplyFunction Mobile = ApplyMobileSettings;
constexpr ProfileApplyFunction Handheld = ApplyHandheldSettings;
constexpr ProfileApplyFunction Modern = ApplyModernSettings;
constexpr ProfileFillFunction ModernAudio = FillModernAudioLists;
} // namespace

// clang-format off
const std::array<OutputFormatEntry, OutputFormatCount> OutputFormatCatalogue = {{
    {"3GP - Mobile Video Format (*.3gp)", "3GP", 0, FillGP3, "3GP", Mobile},
    {"3G2 - Mobile Video Format (*.3g2)", "3G2", 1, FillGP3, "3G2", Mobile},
    {"345 (*.mp4)", "MP4", 2, nullptr, "", nullptr},
    {"iPod (*.mp4)", "MP4", 3, FillAppleiPod, "Normal", Handheld},
    {"iPod Extra (640 x 480) (*.mp4)", "MP4", 4, FillAppleiPod, "Extra", Handheld},
    {"iPod Wide Screen (*.mp4)", "MP4", 5, FillAppleiPod, "Wide Screen", Handheld},
    {"iPod Video For TV (*.mp4)", "MP4", 6, FillAppleiPod, "Extra", Handheld},
    {"Apple TV H264 (320 x 240) (*.mp4)", "MP4", 7, FillAppleTVh264, "320 x 240", Handheld},
    {"Apple TV H264 (640 x 480) (*.mp4)", "MP4", 8, FillAppleTVh264, "640 x 480", Handheld},
    {"Apple TV H264 (1280 x 720) (*.mp4)", "MP4", 9, FillAppleTVh264, "1280 x 720", Handheld},
    {"Apple TV (*.mp4)", "MP4", 10, FillAppleTV, "Good", Handheld},
    {"Apple TV (Normal Quality) (*.mp4)", "MP4", 11, FillAppleTV, "Normal", Handheld},
    {"Apple TV (High Quality) (*.mp4)", "MP4", 12, FillAppleTV, "Good", Handheld},
    {"iPod Touch (*.mp4)", "MP4", 13, FillAppleiPodTOUCH, "Normal", Handheld},
    {"iPod Touch Extra (640 x 480) (*.mp4)", "MP4", 14, FillAppleiPodTOUCH, "Extra", Handheld},
    {"iPod Touch Wide Screen (*.mp4)", "MP4", 15, FillAppleiPodTOUCH, "Wide Screen", Handheld},
    {"iPod Touchx", "MP4", 16, nullptr, "", nullptr},
    {"iPod Touchy", "MP4", 17, nullptr, "", nullptr},
    {"iPhone (*.mp4)", "MP4", 18, FilliPhone, "480 x 320", Common},
    {"iPhone Extra (640 x 480) (*.mp4)", "MP4", 19, FilliPhone, "640 x 480", Common},
    {"iPhone Wide Screen (*.mp4)", "MP4", 20, FilliPhone, "720 x 480", Common},
    {"iphonexxxx", "MP4", 21, nullptr, "", nullptr},
    {"AVI - Audio Video Interleave (*.avi)", "AVI", 22, FillAVI, "normal", Common},
    {"AVI - DivX Video (*.avi)", "AVI", 23, FillAVI, "divx", Common},
    {"AVI - XviD Video (*.avi)", "AVI", 24, FillAVI, "xvid", Common},
    {"AVI - Uncompress (*.avi)", "AVI", 25, FillAVI, "uncompress", Common},
    {"MOV - QuickTime Video (*.mov)", "MOV", 26, FillMOV, "", Common},
    {"MP4 - MPEG4 Video (*.mp4)", "MP4", 27, FillMP4, "", Common},
    {"MPEG-1 Movie (*.mpg)", "MPG", 28, FillMPEG, "mpeg1", Common},
    {"MPEG-2 Movie (*.mpg)", "MPG", 29, FillMPEG, "mpeg2", Common},
    {"RM - Real Video (*.rm)", "RM", 30, FillReaLMedia, "video", Common},
    {"WMV - Windows Media Video (*.wmv)", "WMV", 31, FillWMV, "", Common},
    {"SWF - Flash Swf (*.swf)", "SWF", 32, FillSWF, "", Common},
    {"FLV - Flash Video (*.flv)", "FLV", 33, FillSWF, "", Common},
    {"Video CD (*.mpg)", "MPG", 34, FillVCD, "VCD", Common},
    {"Super Video CD (*.mpg)", "MPG", 35, FillVCD, "SVCD", Common},
    {"DVD - VOB (*.vob)", "VOB", 36, FillDVD, "", Common},
    {"AAC - Advance Audio Coding (*.aac)", "AAC", 37, FillAAC, "", Common},
    {"ASF - Advance Streaming Format (*.asf)", "ASF", 38, FillASF, "", Common},
    {"AU - SUN Audio (*.au)", "AU", 39, FillAU, "", Common},
    {"M4A - Mpeg4 Audio File (*.m4a)", "M4A", 40, FillM4A, "", Common},
    {"MP3 - Mpeg Layer3 Audio (*.mp3)", "MP3", 41, FillMP3, "mp3", Common},
    {"OGG - Ogg Vorbis Audio (*.ogg)", "OGG", 42, FillOGG, "", Common},
    {"RA - Real Audio (*.ra)", "RA", 43, FillReaLMedia, "audio", Common},
    {"WAV - Waveform Audio (*.wav)", "WAV", 44, FillWAVwma, "WAV", Common},
    {"WMA - Windows Media Audio (*.wma)", "WMA", 45, FillWAVwma, "WMA", Common},
    {"MP2 - Mpeg Layer2 Audio (*.mp2)", "MP2", 46, FillMP3, "mp2", Common},
    {"aaaaaa", "MP4", 47, nullptr, "", nullptr},
    {"aaaaaaa", "MP4", 48, nullptr, "", nullptr},
    {"Zune Mpeg4 Video (*.mp4)", "MP4", 49, FillZUNE, "MPEG-4", Common},
    {"Zune WMV Windows Media Video (*.wmv)", "WMV", 50, FillZUNE, "WMV", Common},
    {"Zune Mpeg4 AVC Video (*.mp4)", "MP4", 51, FillZUNE, "AVC", Common},
    {"Zune - Future Version", "MP4", 52, nullptr, "", nullptr},
    {"PSP Video (*.mp4)", "MP4", 53, FillPSP, "Good Quality", Common},
    {"PSP Video - Good Quality (*.mp4)", "MP4", 54, FillPSP, "Good Quality", Common},
    {"PSP Video - Normal Quality (*.mp4)", "MP4", 55, FillPSP, "Normal Quality", Common},
    {"PSP Video - Small File Size (*.mp4)", "MP4", 56, FillPSP, "Small File Size", Common},
    {"PSP - Future Formats", "MP4", 57, nullptr, "", nullptr},
    {"PS3 Video (*.mp4)", "MP4", 58, FillPS3, "standard", Common},
    {"PS3 Video(480P) (*.mp4)", "MP4", 59, FillPS3, "standard", Common},
    {"PS3 Video(720P) (*.mp4)", "MP4", 60, FillPS3, "720p", Common},
    {"PS3 Video(1080P) (*.mp4)", "MP4", 61, FillPS3, "1080p", Common},
    {"PS3 - Future Version", "MP4", 62, nullptr, "", nullptr},
    {"Archos AV500/GMini402 (*.avi)", "AVI", 63, FillArchos, "AV500", Common},
    {"Archos AV700 (*.avi)", "AVI", 64, FillArchos, "AV700", Common},
    {"Creative Zen Vision (*.avi)", "AVI", 65, FillZen, "", Common},
    {"iRiver PMP100 (*.avi)", "AVI", 66, FilliRiver, "", Common},
    {"BlackBerry MPEG-4 Video (*.mp4)", "MP4", 67, FillBlackBerry, "MPEG-4", Common},
    {"BlackBerry AVI Video (*.avi)", "AVI", 68, FillBlackBerry, "AVI", Common},
    {"BlackBerry 3GP Video (*.3gp)", "3GP", 69, FillBlackBerry, "3GP", Common},
    {"BlackBerry AMR Audio", "AMR", 70, FillBlackBerry, "AMR", Common},
    {"MKV - Matroska Video (*.mkv)", "MKV", 71, FillModern, "MKV", Modern, ModernAudio},
    {"WEBM - WebM Video (*.webm)", "WEBM", 72, FillModern, "WEBM", Modern, ModernAudio},
    {"OPUS - Opus Audio (*.opus)", "OPUS", 73, FillModern, "OPUS", Modern, ModernAudio},
    {"FLAC - Free Lossless Audio (*.flac)", "FLAC", 74, FillModern, "FLAC", Modern, ModernAudio},
}};
// clang-format on

const std::array<const char*, 25> FormatBoxEntries = {
    "FLV - Flash Video (*.flv)",
    "SWF - Flash Swf (*.swf)",
    FormatBoxSeparator,
    "3GP - Mobile Video Format (*.3gp)",
    "3G2 - Mobile Video Format (*.3g2)",
    "AVI - Audio Video Interleave (*.avi)",
    "AVI - DivX Video (*.avi)",
    "AVI - XviD Video (*.avi)",
    "MOV - QuickTime Video (*.mov)",
    "MP4 - MPEG4 Video (*.mp4)",
    "MPEG-1 Movie (*.mpg)",
    "MPEG-2 Movie (*.mpg)",
    "RM - Real Video (*.rm)",
    "Super Video CD (*.mpg)",
    "Video CD (*.mpg)",
    "WMV - Windows Media Video (*.wmv)",
    FormatBoxSeparator,
    "MP3 - Mpeg Layer3 Audio (*.mp3)",
    "WAV - Waveform Audio (*.wav)",
    "WMA - Windows Media Audio (*.wma)",
    FormatBoxSeparator,
    "MKV - Matroska Video (*.mkv)",
    "WEBM - WebM Video (*.webm)",
    "OPUS - Opus Audio (*.opus)",
    "FLAC - Free Lossless Audio (*.flac)",
};
