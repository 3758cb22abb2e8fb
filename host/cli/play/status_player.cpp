#include "play/status_player.h"

#include <chrono>
#include <cstdio>
#include <thread>

#include "common/interrupt.h"
#include "play/play_view_text.h"

namespace {

constexpr auto kStatusPollPeriod = std::chrono::milliseconds(50);
constexpr auto kStatusDrawPeriod = std::chrono::milliseconds(250);

}  // namespace

PlayEnd RunStatusPlayer(PlaySession& session, bool showStatus) {
    auto drawn = std::chrono::steady_clock::time_point{};
    while (!session.Ended()) {
        if (InterruptRequested()) return PlayEnd::kInterrupted;
        session.Poll();
        if (showStatus && std::chrono::steady_clock::now() - drawn >= kStatusDrawPeriod) {
            drawn = std::chrono::steady_clock::now();
            std::fprintf(stderr, "\r\033[K%s", StatusText(session.Snapshot(0)).c_str());
            std::fflush(stderr);
        }
        std::this_thread::sleep_for(kStatusPollPeriod);
    }
    return PlayEnd::kPlaylistDone;
}
