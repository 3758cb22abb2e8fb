#include "common/stereo_width.h"

#include <algorithm>
#include <limits>

namespace {

int16_t Saturated(int32_t value) {
    return static_cast<int16_t>(std::clamp<int32_t>(value, std::numeric_limits<int16_t>::min(),
                                                    std::numeric_limits<int16_t>::max()));
}

// Rounds numerator / 200 to the nearest whole number, halves away from zero, the same way for
// both signs so that a mono result is the same on the left and the right. |numerator| stays
// below 300 * 32768 * 2, well inside 32 bits.
int32_t DivideBy200(int32_t numerator) {
    return (numerator + (numerator < 0 ? -100 : 100)) / 200;
}

}  // namespace

void SetSeparation(int16_t* frames, size_t frameCount, int percent) {
    if (percent == kUnchangedSeparation) return;
    const int32_t own = 100 + percent, other = 100 - percent;
    for (size_t i = 0; i < frameCount; ++i) {
        const int32_t left = frames[2 * i], right = frames[2 * i + 1];
        frames[2 * i] = Saturated(DivideBy200(left * own + right * other));
        frames[2 * i + 1] = Saturated(DivideBy200(right * own + left * other));
    }
}
