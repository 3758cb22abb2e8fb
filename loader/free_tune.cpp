// A Tune is one calloc'd block, so one free releases everything it holds.
#include <cstdlib>

#include "loader/tune.h"

void FreeTune(Tune* tune) {
    std::free(tune);
}
