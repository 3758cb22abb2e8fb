// `ahx play` as its own program, which `ahx` starts for that command only: the sound and
// terminal libraries (and the dozens they pull in) are then loaded by play alone, and every other
// command starts without resolving their symbols.
#include <string_view>
#include <vector>

#include "common/interrupt.h"
#include "play/play_command.h"

int main(int argc, char** argv) {
    CatchInterrupts();
    return RunPlay(std::vector<std::string_view>(argv + 1, argv + argc));
}
