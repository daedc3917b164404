#include "SettingsBoxes.h"

ListSettingsBoxes::ListSettingsBoxes() {
    m_view.ComboVideoBitrate = &m_boxes[0];
    m_view.ComboVideoCodec = &m_boxes[1];
    m_view.ComboVideoSize = &m_boxes[2];
    m_view.ComboVideoFramerate = &m_boxes[3];
    m_view.ComboAudioBitrate = &m_boxes[4];
    m_view.ComboAudioCodec = &m_boxes[5];
    m_view.ComboAudioChannels = &m_boxes[6];
    m_view.ComboSamplingRate = &m_boxes[7];
    m_view.ComboAspectRatio = &m_boxes[8];
    m_view.ComboAudioChannels->Append("Stereo");
    m_view.ComboAudioChannels->Append("Mono");
    m_view.ComboAspectRatio->Append("Original");
    m_view.ComboAspectRatio->Append("4:3");
    m_view.ComboAspectRatio->Append("16:9");
}
