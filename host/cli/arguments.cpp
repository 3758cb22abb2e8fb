#include "arguments.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

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

double ParseDecimal(std::string_view option, std::string_view text, double lowest, double highest) {
    const std::string copy(text);
    char* end = nullptr;
    const double value = std::strtod(copy.c_str(), &end);
    if (copy.empty() || end != copy.c_str() + copy.size() || !std::isfinite(value) || value < lowest ||
        value > highest) {
        char range[96];
        std::snprintf(range, sizeof range, " takes a number of seconds from %g to %g, not '", lowest, highest);
        throw UsageError(std::string(option) + range + copy + "'");
    }
    return value;
}
