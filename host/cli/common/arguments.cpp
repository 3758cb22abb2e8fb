#include "common/arguments.h"

#include <charconv>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "ahx/ahx.h"

std::optional<std::string_view> ArgumentCursor::Next() {
    if (inlineValue_) throw UsageError(std::string(lastArgument_) + " takes no value");
    if (Done()) return std::nullopt;
    std::string_view argument = arguments_[next_++];
    if (optionsEnded_) return argument;
    if (argument == "--") {
        optionsEnded_ = true;
        return Next();
    }
    const size_t equals = argument.find('=');
    if (argument.starts_with("--") && equals != std::string_view::npos) {
        inlineValue_ = argument.substr(equals + 1);
        argument = argument.substr(0, equals);
    }
    lastArgument_ = argument;
    return argument;
}

std::string_view ArgumentCursor::Value(std::string_view option) {
    if (inlineValue_) {
        const std::string_view value = *inlineValue_;
        inlineValue_.reset();
        return value;
    }
    if (Done()) throw UsageError(std::string(option) + " needs a value");
    return arguments_[next_++];
}

int64_t ParseInteger(std::string_view option, std::string_view text, int64_t lowest, int64_t highest) {
    int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size() || value < lowest || value > highest) {
        throw UsageError(std::string(option) + " takes a whole number from " + std::to_string(lowest) + " to " +
                         std::to_string(highest) + ", not '" + std::string(text) + "'");
    }
    return value;
}

namespace {

// Plain seconds ("90", "1.5") or minutes and seconds as clocks show them ("1:30", "0:01.68").
std::optional<double> SecondsOf(const std::string& text) {
    const size_t colon = text.find(':');
    const std::string secondsText = colon == std::string::npos ? text : text.substr(colon + 1);
    char* end = nullptr;
    const double seconds = std::strtod(secondsText.c_str(), &end);
    if (secondsText.empty() || end != secondsText.c_str() + secondsText.size() || !std::isfinite(seconds)) return {};
    if (colon == std::string::npos) return seconds;
    const std::string minutesText = text.substr(0, colon);
    const bool digitsOnly = !minutesText.empty() && minutesText.size() <= 6 &&
                            minutesText.find_first_not_of("0123456789") == std::string::npos;
    // "m:ss": two digits of seconds before any decimals, below a minute.
    const bool clockSeconds = secondsText.size() >= 2 && std::isdigit(static_cast<unsigned char>(secondsText[0])) &&
                              std::isdigit(static_cast<unsigned char>(secondsText[1])) && seconds < 60;
    if (!digitsOnly || !clockSeconds) return {};
    return std::stod(minutesText) * 60 + seconds;
}

}  // namespace

double ParseDecimal(std::string_view option, std::string_view text, double lowest, double highest) {
    const std::string copy(text);
    const std::optional<double> value = SecondsOf(copy);
    if (!value || *value < lowest || *value > highest) {
        char range[96];
        std::snprintf(range, sizeof range, " takes a number of seconds (or m:ss) from %g to %g, not '", lowest, highest);
        throw UsageError(std::string(option) + range + copy + "'");
    }
    return *value;
}

uint32_t ParseChannelList(std::string_view option, std::string_view text) {
    const auto refuse = [&] {
        return UsageError(std::string(option) + " takes channels from 1 to " + std::to_string(AHX_MAX_CHANNELS) + " like 1,3-5, not '" + std::string(text) + "'");
    };
    uint32_t mask = 0;
    std::string_view rest = text;
    do {
        const size_t comma = rest.find(',');
        const std::string_view item = rest.substr(0, comma);
        rest = comma == std::string_view::npos ? std::string_view{} : rest.substr(comma + 1);
        const size_t dash = item.find('-');
        const std::string_view firstText = item.substr(0, dash);
        const std::string_view lastText = dash == std::string_view::npos ? firstText : item.substr(dash + 1);
        int64_t first = 0, last = 0;
        const auto [firstEnd, firstError] = std::from_chars(firstText.data(), firstText.data() + firstText.size(), first);
        const auto [lastEnd, lastError] = std::from_chars(lastText.data(), lastText.data() + lastText.size(), last);
        const bool whole = firstError == std::errc{} && lastError == std::errc{} &&
                           firstEnd == firstText.data() + firstText.size() && lastEnd == lastText.data() + lastText.size();
        if (!whole || first < 1 || last > AHX_MAX_CHANNELS || first > last) throw refuse();
        for (int64_t channel = first; channel <= last; ++channel) mask |= 1u << (channel - 1);
    } while (!rest.empty());
    if (text.empty() || text.back() == ',') throw refuse();
    return mask;
}

uint32_t ChannelsBeyond(uint32_t mask, uint32_t channelCount) {
    for (uint32_t channel = channelCount + 1; channel <= AHX_MAX_CHANNELS; ++channel) {
        if ((mask >> (channel - 1) & 1) != 0) return channel;
    }
    return 0;
}
