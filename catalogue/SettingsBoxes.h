// The nine settings boxes of the main window, as the profiles see them.
#pragma once

#include "SettingsBox.h"

#include <array>
#include <memory>

// Non-owning view of the nine boxes, named after the window's controls. Profiles clear,
// append and select; the apply steps read the current texts.
struct SettingsBoxes {
    SettingsBox* ComboVideoBitrate = nullptr;
    SettingsBox* ComboVideoCodec = nullptr;
    SettingsBox* ComboVideoSize = nullptr;
    SettingsBox* ComboVideoFramerate = nullptr;
    SettingsBox* ComboAudioBitrate = nullptr;
    SettingsBox* ComboAudioCodec = nullptr;
    SettingsBox* ComboAudioChannels = nullptr;
    SettingsBox* ComboSamplingRate = nullptr;
    SettingsBox* ComboAspectRatio = nullptr;
};

// Nine plain-list boxes with the fixed lists of the channels box ("Stereo", "Mono") and
// the aspect-ratio box ("Original", "4:3", "16:9") already in place, as the window
// creates them. Used by the command-line converter and the tests.
class ListSettingsBoxes {
public:
    ListSettingsBoxes();
    ListSettingsBoxes(const ListSettingsBoxes&) = delete;
    ListSettingsBoxes& operator=(const ListSettingsBoxes&) = delete;

    SettingsBoxes& Boxes() { return m_view; }
    const SettingsBoxes& Boxes() const { return m_view; }

private:
    std::array<ListSettingsBox, 9> m_boxes;
    SettingsBoxes m_view;
};
