#include "play/play_options.h"

#include "play/sound_device.h"
#include "common/module_inputs.h"

PlayOptions ParsePlayOptions(const std::vector<std::string_view>& arguments) {
    PlayOptions options;
    ArgumentCursor cursor(arguments);
    while (const auto argument = cursor.Next()) {
        const std::string_view a = *argument;
        if (cursor.OptionsEnded() || a == "-" || !a.starts_with("-")) {
            options.files.emplace_back(a);
        } else if (ParseSongOption(cursor, a, options.songs)) {
            continue;
        } else if (a == "-h" || a == "--help") {
            options.help = true;
        } else if (a == "--driver") {
            options.driver = std::string(cursor.Value(a));
        } else if (a == "--normalise" || a == "--normalize") {
            options.normalise = true;
        } else if (a == "--buffer") {
            options.bufferMilliseconds = static_cast<uint32_t>(
                ParseInteger(a, cursor.Value(a), kShortestBufferMilliseconds, kLongestBufferMilliseconds));
        } else if (a == "-q" || a == "--quiet") {
            options.quiet = true;
        } else {
            throw UsageError("unknown option " + std::string(a));
        }
    }
    CheckSongOptions(options.songs);
    options.files = ExpandModulePaths(options.files);
    return options;
}
