#include <cmath>
#include <numbers>

#include "waves/compute/compute_wave_tables.h"

void ComputePanTables(PanTables* pans) {
    // The left angle starts at the single-precision quarter turn, and the step is a truncated pi
    // over 512: both shape the stored gains, so neither may be "corrected" to exact pi.
    double leftAngle = static_cast<double>(static_cast<float>(std::numbers::pi / 2.0));
    double rightAngle = 0.0;
    const double angleStep = 3.14159265 / 512.0;
    for (uint32_t position = 0; position < 256; ++position) {
        pans->panLeft[position] = static_cast<uint32_t>(static_cast<int32_t>(std::sin(leftAngle) * 255.0));
        pans->panRight[position] = static_cast<uint32_t>(static_cast<int32_t>(std::sin(rightAngle) * 255.0));
        leftAngle += angleStep;
        rightAngle += angleStep;
    }
    pans->panLeft[255] = 0;
    pans->panRight[0] = 0;
}
