#include "AppleiPod.h"

#include "DeviceProfiles.h"

namespace {

constexpr ApplePlayerLists Lists = {0, 3, 0, 4}; // 512 Kbps, 64 Kbps, Auto, 44100 Hz

constexpr std::array<ApplePlayerVariant, 3> Variants = {{
    {"Normal", "320 x 240", -1, -1, false},
    {"Extra", "640 x 480", 3, -1, false},     // 1500 Kbps
    {"Wide Screen", "720 x 406", 3, 7, true}, // 1500 Kbps, 128 Kbps
}};

} // namespace

void FillAppleiPod(SettingsBoxes& boxes, std::string_view variant) {
    FillApplePlayer(boxes, VariantRow(Variants, variant), Lists);
}

void ApplyHandheldSettings(const SettingsBoxes& boxes, const std::string& /*outputLabel*/,
                           TOutputOptions& options, int /*rowIndex*/) {
    // Apple players get AAC sound in the channels the box shows (a 5.1 input is mixed
    // down as in every other row).
    ApplyDeviceSettings(boxes, {"libfaac", true, 0}, options);
}
