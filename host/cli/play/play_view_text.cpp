#include "play/play_view_text.h"

#include "common/song_number.h"
#include "common/text_output.h"

std::string FileCounter(const PlayView& view) {
    std::string text = "[";
    text += std::to_string(view.fileNumber);
    text += '/';
    text += std::to_string(view.fileCount);
    return text + ']';
}

std::string StatusText(const PlayView& view) {
    std::string text = FileCounter(view);
    text += ' ' + view.fileName + "  " + SongOfTotal(view.song, view.subsongs) + "  ";
    text += FormatClock(view.frame, view.sampleRate) + " / " + FormatClock(view.endFrame, view.sampleRate);
    if (view.paused) text += "  (paused)";
    return text;
}
