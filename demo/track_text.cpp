#include "track_text.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

[[noreturn]] void Malformed(std::string_view token, const char* why) {
    std::fprintf(stderr, "track text: '%.*s': %s\n", static_cast<int>(token.size()), token.data(), why);
    std::exit(1);
}

uint8_t HexDigits(std::string_view token, std::string_view digits) {
    uint32_t value = 0;
    for (const char c : digits) {
        value <<= 4;
        if (c >= '0' && c <= '9') {
            value |= static_cast<uint32_t>(c - '0');
        } else if (c >= 'A' && c <= 'F') {
            value |= static_cast<uint32_t>(c - 'A' + 10);
        } else {
            Malformed(token, "commands are upper-case hex digits");
        }
    }
    return static_cast<uint8_t>(value);
}

BuiltStep ParseStep(std::string_view token) {
    BuiltStep step;
    if (token == ".") return step;
    if (token.size() < 3) Malformed(token, "a step starts with a note or ---");
    if (token.substr(0, 3) != "---") step.note = NoteNumber(token.substr(0, 3));
    std::string_view rest = token.substr(3);
    if (rest.starts_with('@')) {
        size_t digits = 1;
        while (digits < rest.size() && rest[digits] >= '0' && rest[digits] <= '9') ++digits;
        if (digits == 1) Malformed(token, "@ needs an instrument number");
        step.instrument = static_cast<uint8_t>(std::stoi(std::string(rest.substr(1, digits - 1))));
        rest = rest.substr(digits);
    }
    for (int slot = 0; !rest.empty(); ++slot) {
        if (slot == 2 || rest.size() < 4 || rest[0] != '!') Malformed(token, "commands are !CPP, at most two");
        const uint8_t command = HexDigits(token, rest.substr(1, 1));
        const uint8_t param = HexDigits(token, rest.substr(2, 2));
        if (slot == 0) {
            step.command1 = command;
            step.param1 = param;
        } else {
            step.command2 = command;
            step.param2 = param;
        }
        rest = rest.substr(4);
    }
    return step;
}

}  // namespace

uint8_t NoteNumber(std::string_view name) {
    static constexpr std::string_view kNames[12] = {"C-", "C#", "D-", "D#", "E-", "F-",
                                                    "F#", "G-", "G#", "A-", "A#", "B-"};
    if (name.size() != 3 || name[2] < '1' || name[2] > '5') Malformed(name, "notes look like A-4 or C#3, octaves 1..5");
    for (int semitone = 0; semitone < 12; ++semitone) {
        if (name.substr(0, 2) == kNames[semitone]) return static_cast<uint8_t>((name[2] - '1') * 12 + semitone + 1);
    }
    Malformed(name, "unknown note name");
}

TrackSteps ParseTrack(std::string_view text) {
    TrackSteps steps;
    size_t at = 0;
    while (at < text.size()) {
        while (at < text.size() && (text[at] == ' ' || text[at] == '\n')) ++at;
        size_t end = at;
        while (end < text.size() && text[end] != ' ' && text[end] != '\n') ++end;
        if (end > at) steps.push_back(ParseStep(text.substr(at, end - at)));
        at = end;
    }
    return steps;
}
