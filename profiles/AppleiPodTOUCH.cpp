#include "AppleiPodTOUCH.h"

#include "DeviceProfiles.h"

namespace {

constexpr ApplePlayerLists Lists = {2, 4, 0, 4}; // 1200 Kbps, 80 Kbps, Auto, 44100 Hz

constexpr std::array<ApplePlayerVariant, 3> Variants = {{
    {"Normal", "480 x 320", -1, -1, false},
    {"Extra", "640 x 480", 3, -1, false},     // 1500 Kbps
    {"Wide Screen", "720 x 406", 3, 7, true}, // 1500 Kbps, 128 Kbps
}};

} // namespace

void FillAppleiPodTOUCH(SettingsBoxes& boxes, std::string_view variant) {
    FillApplePlayer(boxes, VariantRow(Variants, variant), Lists);
}
