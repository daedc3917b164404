#include "StreamRotation.h"

#include "AVFormatHlpr.h"
#include "AVUtilHlpr.h"

#include <cmath>

int DisplayRotationDegrees(const AVStream* stream) {
    if (!stream || !lavf.av_stream_get_side_data || !lavu.av_display_rotation_get)
        return 0;
    size_t size = 0;
    const uint8_t* data = lavf.av_stream_get_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, &size);
    if (!data || size < 9 * sizeof(int32_t))
        return 0;
    // The matrix turns the picture counter-clockwise by this angle; upright is the opposite.
    const double angle = -lavu.av_display_rotation_get(reinterpret_cast<const int32_t*>(data));
    if (!std::isfinite(angle))
        return 0;
    const long quarter = std::lround(angle / 90.0);
    if (std::fabs(angle - 90.0 * static_cast<double>(quarter)) > 1.0)
        return 0;
    return static_cast<int>(((quarter % 4) + 4) % 4) * 90;
}
