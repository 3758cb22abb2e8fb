#pragma once
// A small hand-written command-line reader: long options with a separate or "=" value, a few
// short ones, "--" to end options. Problems are UsageError, which the tool reports with exit code 1.
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class ArgumentCursor {
public:
    explicit ArgumentCursor(std::vector<std::string_view> arguments) : arguments_(std::move(arguments)) {}

    // The next argument, or nothing at the end; for "--name=value" only "--name", the value is
    // kept for Value(). After "--" every argument is a plain one (see OptionsEnded).
    std::optional<std::string_view> Next();
    // The value of the option just read: the text after "=", or the following argument.
    std::string_view Value(std::string_view option);
    bool OptionsEnded() const { return optionsEnded_; }

private:
    bool Done() const { return next_ >= arguments_.size(); }

    std::vector<std::string_view> arguments_;
    size_t next_ = 0;
    std::optional<std::string_view> inlineValue_;
    std::string_view lastArgument_;
    bool optionsEnded_ = false;
};

// Whole numbers, and seconds (decimals, or m:ss(.cc) as clocks show them) in a range; anything
// else, or trailing text, is a UsageError.
int64_t ParseInteger(std::string_view option, std::string_view text, int64_t lowest, int64_t highest);
double ParseDecimal(std::string_view option, std::string_view text, double lowest, double highest);

// Channels as users number them, from 1: "1,3-5" gives channels 1, 3, 4 and 5. The result has bit
// c - 1 set for channel c. Channels run from 1 to AHX_MAX_CHANNELS; whether a module has that many
// is for the caller to check (ChannelsBeyond).
uint32_t ParseChannelList(std::string_view option, std::string_view text);
// The lowest channel in mask that a module of channelCount channels does not have, or 0.
uint32_t ChannelsBeyond(uint32_t mask, uint32_t channelCount);
