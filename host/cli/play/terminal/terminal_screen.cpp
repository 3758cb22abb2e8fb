#include "play/terminal/terminal_screen.h"

#include <curses.h>
#include <langinfo.h>

#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/song_number.h"
#include "common/text_output.h"
#include "play/play_view_text.h"
#include "play/terminal/pattern_view.h"

namespace {

enum ColourPair : short { kAccentPair = 1, kPlayingRowPair, kMeterLowPair, kMeterMidPair, kMeterHighPair };

constexpr int kHeaderLines = 3;   // file; title, format and song; clock and position
constexpr int kChannelLines = 2;  // channel numbers; level meters
constexpr int kFooterLines = 2;   // message; keys
constexpr int kPatternTop = kHeaderLines + 1 + kChannelLines;
constexpr auto kMessageTime = std::chrono::seconds(6);
constexpr float kMeterFloorDecibels = -48.0f;
constexpr float kMeterFall = 0.85f;  // per drawing: meters sink smoothly instead of flickering
constexpr float kMeterGreenPart = 0.6f, kMeterYellowPart = 0.85f;

constexpr const char* kKeyHints = "space pause  arrows seek  n/p file  </> song  1-0 mute  ? all keys  q quit";
constexpr const char* kHelpLines[] = {
    "space        pause / resume",
    "left  right  5 seconds back / on",
    "down  up     30 seconds back / on",
    "p  n         previous / next file",
    "<  >         previous / next song",
    "1-9, 0       mute / unmute channel 1-9, 10",
    "+, 1-6       mute / unmute channel 11-16",
    "s, channel   solo that channel (again: all): s 3, s 0, s + 2",
    "l            loop this song on / off",
    "? or h       this help (any other key closes it)",
    "q            quit",
};

SCREEN* Screen(void* screen) { return static_cast<SCREEN*>(screen); }

bool NoColourWanted() {
    const char* value = std::getenv("NO_COLOR");
    return value != nullptr && value[0] != '\0';
}

// The part of text that fits in `columns` cells. Names are Latin-1 made UTF-8, one cell per
// character; a terminal whose locale is not UTF-8 gets '?' for them.
std::string Fit(const std::string& text, int columns, bool utf8) {
    std::string out;
    int cells = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const bool continuation = (byte & 0xC0) == 0x80;
        if (!continuation && cells == columns) break;
        if (!continuation) ++cells;
        if (utf8 || byte < 0x80) {
            out += text[i];
        } else if (!continuation) {
            out += '?';
        }
    }
    return out;
}

std::string SongLabel(const PlayView& view) { return SongOfTotal(view.song, view.subsongs); }

bool Audible(const PlayView& view, uint32_t channel) { return (view.audible >> channel & 1) != 0; }

}  // namespace

bool TerminalScreen::Open() {
    // Character handling only: numbers keep the C locale's decimal point.
    std::setlocale(LC_CTYPE, "");
    utf8_ = std::strcmp(nl_langinfo(CODESET), "UTF-8") == 0;
    SCREEN* screen = newterm(nullptr, stdout, stdin);
    if (screen == nullptr) return false;
    // A terminal that cannot move its cursor (TERM=dumb, say) would get the view as a scroll of
    // lines; the status line serves it instead.
    const char* moveCursor = tigetstr(const_cast<char*>("cup"));
    if (moveCursor == nullptr || moveCursor == reinterpret_cast<char*>(-1)) {
        endwin();
        delscreen(screen);
        return false;
    }
    screen_ = screen;
    set_term(screen);
    cbreak();
    noecho();
    nonl();
    keypad(stdscr, TRUE);
    curs_set(0);
    set_escdelay(25);  // a lone Escape is no key of ours; arrows must not wait for it
    colour_ = has_colors() && !NoColourWanted();
    if (colour_) {
        start_color();
        use_default_colors();
        init_pair(kAccentPair, COLOR_CYAN, -1);
        init_pair(kPlayingRowPair, COLOR_BLACK, COLOR_CYAN);
        init_pair(kMeterLowPair, COLOR_BLACK, COLOR_GREEN);
        init_pair(kMeterMidPair, COLOR_BLACK, COLOR_YELLOW);
        init_pair(kMeterHighPair, COLOR_BLACK, COLOR_RED);
    }
    return true;
}

void TerminalScreen::Close() {
    if (screen_ == nullptr) return;
    endwin();
    delscreen(Screen(screen_));
    screen_ = nullptr;
}

int TerminalScreen::ReadKey(int waitMilliseconds) {
    timeout(waitMilliseconds);
    const int key = getch();
    return key == ERR ? -1 : key;
}

uint32_t TerminalScreen::RowsAround() const {
    const int height = LINES - kPatternTop - kFooterLines;
    return height > 0 ? static_cast<uint32_t>(height / 2) : 0;
}

void TerminalScreen::ShowMessage(const std::string& message) {
    message_ = message;
    messageShown_ = std::chrono::steady_clock::now();
}

void TerminalScreen::Draw(const PlayView& view) {
    erase();
    const int width = COLS;
    const ahx_step_columns columns = FitStepColumns(view.channels, view.twoCommands, width);
    const int stepWidth = StepWidth(columns);
    DrawHeader(view, width);
    DrawChannels(view, width, stepWidth);
    const int height = LINES - kPatternTop - kFooterLines;
    if (helpShown_) {
        DrawHelp(kPatternTop, height, width);
    } else {
        DrawPattern(view, width, kPatternTop, height, columns);
    }
    DrawFooter(LINES, width);
    refresh();
}

void TerminalScreen::DrawHeader(const PlayView& view, int width) {
    const auto put = [&](int y, int x, const std::string& text) {
        if (x < width) mvaddstr(y, x, Fit(text, width - x, utf8_).c_str());
        return x + static_cast<int>(Fit(text, width - x, utf8_).size());
    };
    attron(A_BOLD | (colour_ ? COLOR_PAIR(kAccentPair) : 0));
    int x = put(0, 0, "ahx play");
    attroff(A_BOLD | (colour_ ? COLOR_PAIR(kAccentPair) : 0));
    x = put(0, x + 2, FileCounter(view));
    put(0, x + 2, view.fileName);
    std::string flags = std::string(view.looping ? "[loop]" : "") + (view.paused ? " [paused]" : "");
    if (!flags.empty() && static_cast<int>(flags.size()) < width) {
        attron(A_BOLD);
        put(0, width - static_cast<int>(flags.size()), flags);
        attroff(A_BOLD);
    }

    attron(A_BOLD);
    x = put(1, 0, view.title.empty() ? "(untitled)" : view.title);
    attroff(A_BOLD);
    put(1, x, "   " + view.format + ", " + std::to_string(view.channels) + " channels   " + SongLabel(view));

    const std::string length = FormatClock(view.endFrame, view.sampleRate) + (view.endsByItself ? "" : " (cut)");
    char place[160];
    std::snprintf(place, sizeof place, "   position %u/%u   step %u/%u   tempo %u   speed %u Hz", view.position,
                  view.positions, view.row, view.trackLength, view.tempo, view.speedHz);
    put(2, 0, FormatClock(view.frame, view.sampleRate) + " / " + length + place);
}

void TerminalScreen::DrawChannels(const PlayView& view, int width, int stepWidth) {
    const int top = kHeaderLines + 1;
    for (uint32_t c = 0; c < view.channels && c < AHX_MAX_CHANNELS; ++c) {
        const int x = kRowNumberWidth + static_cast<int>(c) * (stepWidth + 1);
        if (x + stepWidth > width) {
            // Said where the missing columns would begin, or at the line's end when that is too near it.
            char hidden[32];
            const int room = std::snprintf(hidden, sizeof hidden, "+%u hidden", view.channels - c);
            if (room <= width) mvaddstr(top, std::min(x, width - room), hidden);
            break;
        }
        const bool audible = Audible(view, c);
        // The meter reads the level in decibels; it rises at once and falls back slowly.
        const float level = audible ? view.levels[c] : 0.0f;
        const float decibels = level > 0 ? 20.0f * std::log10(level) : kMeterFloorDecibels;
        const float reach = std::fmin(1.0f, std::fmax(0.0f, 1.0f - decibels / kMeterFloorDecibels));
        shownLevels_[c] = std::fmax(reach, shownLevels_[c] * kMeterFall);
        if (!audible) attron(A_DIM);
        mvaddstr(top, x, std::to_string(c + 1).c_str());
        if (!audible) {
            mvaddstr(top + 1, x, "off");
            attroff(A_DIM);
            continue;
        }
        const int cells = static_cast<int>(std::lround(shownLevels_[c] * static_cast<float>(stepWidth)));
        for (int i = 0; i < cells; ++i) {
            const float part = static_cast<float>(i) / static_cast<float>(stepWidth);
            const short pair = part < kMeterGreenPart ? kMeterLowPair : part < kMeterYellowPart ? kMeterMidPair : kMeterHighPair;
            const attr_t look = colour_ ? COLOR_PAIR(pair) : A_REVERSE;
            attron(look);
            mvaddch(top + 1, x + i, ' ');
            attroff(look);
        }
    }
}

void TerminalScreen::DrawPattern(const PlayView& view, int width, int top, int height, ahx_step_columns columns) {
    if (height <= 0) return;
    const int stepWidth = StepWidth(columns);
    if (view.steps.empty()) {
        mvaddstr(top, kRowNumberWidth, Fit("(no positions: this song is silent)", width - kRowNumberWidth, utf8_).c_str());
        return;
    }
    const int centre = height / 2;
    for (int line = 0; line < height; ++line) {
        const int64_t row = int64_t{view.row} + line - centre;
        const int64_t index = row - view.firstRow;
        if (row < 0 || index < 0 || index >= static_cast<int64_t>(view.steps.size())) continue;
        const bool playing = line == centre;
        const attr_t rowLook = playing ? (colour_ ? COLOR_PAIR(kPlayingRowPair) | A_BOLD : A_REVERSE | A_BOLD) : A_NORMAL;
        char number[8];
        std::snprintf(number, sizeof number, "%02lld", static_cast<long long>(row % 100));
        attron(rowLook);
        if (playing) mvhline(top + line, 0, ' ', width);
        mvaddstr(top + line, 0, number);
        for (uint32_t c = 0; c < view.channels && c < AHX_MAX_CHANNELS; ++c) {
            const int x = kRowNumberWidth + static_cast<int>(c) * (stepWidth + 1);
            if (x + stepWidth > width) break;
            const std::string text =
                FormatStep(view.steps[static_cast<size_t>(index)][c], columns);
            const bool dim = !Audible(view, c) && !playing;
            if (dim) attron(A_DIM);
            mvaddstr(top + line, x, text.c_str());
            if (dim) attroff(A_DIM);
        }
        attroff(rowLook);
    }
}

void TerminalScreen::DrawHelp(int top, int height, int width) {
    const int lines = static_cast<int>(std::size(kHelpLines));
    for (int i = 0; i < lines && i + 1 < height; ++i) {
        mvaddstr(top + 1 + i, 2, Fit(kHelpLines[i], width - 2, utf8_).c_str());
    }
}

void TerminalScreen::DrawFooter(int lines, int width) {
    const bool recent = !message_.empty() && std::chrono::steady_clock::now() - messageShown_ < kMessageTime;
    if (!prompt_.empty() || recent) {
        attron(A_BOLD);
        mvaddstr(lines - 2, 0, Fit(!prompt_.empty() ? prompt_ : message_, width, utf8_).c_str());
        attroff(A_BOLD);
    }
    attron(A_DIM);
    mvaddstr(lines - 1, 0, Fit(kKeyHints, width - 1, utf8_).c_str());
    attroff(A_DIM);
}
