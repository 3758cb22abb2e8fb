#include "render/render_options.h"

#include "common/ordered_batch.h"

RenderOptions ParseRenderOptions(const std::vector<std::string_view>& arguments) {
    RenderOptions options;
    ArgumentCursor cursor(arguments);
    while (const auto argument = cursor.Next()) {
        const std::string_view a = *argument;
        if (cursor.OptionsEnded() || a == "-" || !a.starts_with("-")) {
            options.files.emplace_back(a);
        } else if (ParseSongOption(cursor, a, options.songs)) {
            continue;
        } else if (a == "-h" || a == "--help") {
            options.help = true;
        } else if (a == "-o" || a == "--output") {
            options.output = std::string(cursor.Value(a));
        } else if (a == "--fade") {
            options.fadeSeconds = ParseDecimal(a, cursor.Value(a), 0, kLongestSeconds);
        } else if (a == "--rate") {
            options.sampleRate =
                static_cast<uint32_t>(ParseInteger(a, cursor.Value(a), AHX_LOWEST_SAMPLE_RATE, AHX_HIGHEST_SAMPLE_RATE));
            options.rateGiven = true;
        } else if (a == "--format") {
            const std::string_view value = cursor.Value(a);
            options.format = AudioFormatFromName(value);
            if (!options.format) throw UsageError("--format takes " + FormatNameList() + ", not '" + std::string(value) + "'");
        } else if (a == "--quality") {
            options.quality = static_cast<int>(ParseInteger(a, cursor.Value(a), 0, kHighestQuality));
        } else if (a == "--stems") {
            options.stems = true;
        } else if (a == "-j" || a == "--jobs") {
            options.jobs = static_cast<unsigned>(ParseInteger(a, cursor.Value(a), 1, kMostJobs));
        } else if (a == "--replaygain") {
            options.replayGain = true;
        } else if (a == "--force") {
            options.force = true;
        } else {
            throw UsageError("unknown option " + std::string(a));
        }
    }
    CheckSongOptions(options.songs);
    return options;
}
