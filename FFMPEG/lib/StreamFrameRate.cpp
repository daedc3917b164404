#include "StreamFrameRate.h"

namespace {

bool valid(AVRational rate) {
    return rate.num > 0 && rate.den > 0;
}

} // namespace

AVRational PlausibleFrameRate(const AVStream* stream) {
    if (!stream)
        return {0, 1};
    const AVRational raw = stream->r_frame_rate;
    const AVRational average = stream->avg_frame_rate;
    const AVRational clock = stream->time_base;
    const bool averageBelievable = valid(average) && av_q2d(average) <= kMaxPlausibleFrameRate;
    const bool rawIsClock =
        valid(raw) && valid(clock) &&
        static_cast<int64_t>(raw.num) * clock.num == static_cast<int64_t>(raw.den) * clock.den;
    const bool rawImplausible =
        !valid(raw) || av_q2d(raw) > kMaxPlausibleFrameRate || (rawIsClock && av_q2d(raw) > 100);
    if (rawImplausible && averageBelievable)
        return average;
    if (valid(raw))
        return raw;
    return valid(average) ? average : AVRational{0, 1};
}
