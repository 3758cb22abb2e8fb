#include "play/status_player.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "common/interrupt.h"
#include "play/play_view_text.h"

namespace {

constexpr auto kStatusPollPeriod = std::chrono::milliseconds(50);
constexpr auto kStatusDrawPeriod = std::chrono::milliseconds(250);

// Characters of the status line on the screen: overwritten with spaces, not an erase sequence,
// which a terminal without cursor control (TERM=dumb) would print.
size_t shownWidth = 0;

}  // namespace

void ClearStatusLine() {
    if (shownWidth == 0) return;
    std::fprintf(stderr, "\r%*s\r", static_cast<int>(shownWidth), "");
    shownWidth = 0;
}

PlayEnd RunStatusPlayer(PlaySession& session, bool showStatus) {
    auto drawn = std::chrono::steady_clock::time_point{};
    while (!session.Ended()) {
        if (InterruptRequested()) return PlayEnd::kInterrupted;
        session.Poll();
        if (showStatus && std::chrono::steady_clock::now() - drawn >= kStatusDrawPeriod) {
            drawn = std::chrono::steady_clock::now();
            const std::string text = StatusText(session.Snapshot(0));
            // Spaces cover what a longer line before left.
            const size_t pad = shownWidth > text.size() ? shownWidth - text.size() : 0;
            std::fprintf(stderr, "\r%s%*s", text.c_str(), static_cast<int>(pad), "");
            shownWidth = text.size() + pad;
            std::fflush(stderr);
        }
        std::this_thread::sleep_for(kStatusPollPeriod);
    }
    return PlayEnd::kPlaylistDone;
}
