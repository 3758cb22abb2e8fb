#include "common/text_output.h"

#include <cstdio>
#include <iostream>

#include "ahx/ahx.h"
#include "common/exit_codes.h"

namespace {

// U+0080 to U+009F in UTF-8: a lead byte of 0xC2 and a second byte below 0xA0.
constexpr unsigned char kC1Lead = 0xC2;
constexpr unsigned char kC1Last = 0x9F;

}  // namespace

std::string Printable(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte == kC1Lead && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) <= kC1Last &&
            static_cast<unsigned char>(text[i + 1]) >= 0x80) {
            out += '?';
            ++i;
        } else {
            out += byte < 0x20 || byte == 0x7F ? '?' : text[i];
        }
    }
    return out;
}

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20 || byte == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string TitleText(const char* name) {
    std::string text;
    for (size_t i = 0; name[i] != '\0'; ++i) {
        const auto byte = static_cast<unsigned char>(name[i]);
        if (byte < 0x80) {
            text += static_cast<char>(byte);
        } else {
            text += static_cast<char>(0xC0 | (byte >> 6));
            text += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return text;
}

std::string FormatClock(uint64_t frames, uint32_t sampleRate) {
    char text[AHX_TEXT_BYTES];
    return ahx_format_clock(frames, sampleRate, text, sizeof text) == AHX_OK ? text : "";
}

int ReportUsageError(std::string_view command, const std::string& message) {
    std::cerr << "ahx " << command << ": " << Printable(message) << " (see ahx " << command << " --help)\n";
    return kExitUsage;
}
