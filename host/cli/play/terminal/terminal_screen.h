#pragma once
// The full-screen player view on a terminal, through ncurses: header, level meters, the pattern of
// the playing position, a message line and the keys. The terminal is given back as it was by
// Close, which the destructor calls too.
#include <chrono>
#include <string>

#include "ahx/ahx.h"
#include "play/play_view.h"

class TerminalScreen {
public:
    TerminalScreen() = default;
    ~TerminalScreen() { Close(); }
    TerminalScreen(const TerminalScreen&) = delete;
    TerminalScreen& operator=(const TerminalScreen&) = delete;

    // Takes over the terminal on standard input and output; false, with the terminal untouched,
    // when it cannot (an unknown TERM, say).
    bool Open();
    void Close();

    // The next key, waiting up to waitMilliseconds; -1 when none came (or a signal came first).
    int ReadKey(int waitMilliseconds);
    // Steps shown above and below the playing row at the current size.
    uint32_t RowsAround() const;
    void ShowMessage(const std::string& message);
    void ToggleHelp() { helpShown_ = !helpShown_; }
    bool HelpShown() const { return helpShown_; }
    // Shown on the message line until replaced; empty: none.
    void SetPrompt(const std::string& prompt) { prompt_ = prompt; }
    void Draw(const PlayView& view);

private:
    void DrawHeader(const PlayView& view, int width);
    void DrawChannels(const PlayView& view, int width, int stepWidth);
    void DrawPattern(const PlayView& view, int width, int top, int height, ahx_step_columns columns);
    void DrawHelp(int top, int height, int width);
    void DrawFooter(int height, int width);

    void* screen_ = nullptr;  // ncurses' SCREEN
    bool colour_ = false;
    bool utf8_ = false;
    bool helpShown_ = false;
    std::string prompt_;
    std::string message_;
    std::chrono::steady_clock::time_point messageShown_{};
    float shownLevels_[AHX_MAX_CHANNELS] = {};
};
