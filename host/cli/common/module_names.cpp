#include "common/module_names.h"

#include <array>

namespace {

constexpr std::array<std::string_view, 3> kKinds = {"ahx", "thx", "hvl"};

bool SameLetters(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

bool IsKind(std::string_view word) {
    for (const std::string_view kind : kKinds) {
        if (SameLetters(word, kind)) return true;
    }
    return false;
}

// "cool_tune" of "ahx.cool_tune"; empty when the name has no such prefix.
std::string_view AfterPrefix(std::string_view fileName) {
    const size_t dot = fileName.find('.');
    if (dot == std::string_view::npos || dot + 1 == fileName.size() || !IsKind(fileName.substr(0, dot))) return {};
    return fileName.substr(dot + 1);
}

}  // namespace

bool LooksLikeModuleName(std::string_view fileName) {
    const size_t dot = fileName.rfind('.');
    const bool byExtension = dot != std::string_view::npos && dot != 0 && IsKind(fileName.substr(dot + 1));
    return byExtension || !AfterPrefix(fileName).empty();
}

std::string ModuleStem(std::string_view fileName) {
    const size_t dot = fileName.rfind('.');
    // The extension wins: hvl.song.ahx is "hvl.song", a name its author gave after the prefix.
    if (dot != std::string_view::npos && dot != 0 && IsKind(fileName.substr(dot + 1))) {
        return std::string(fileName.substr(0, dot));
    }
    if (const std::string_view rest = AfterPrefix(fileName); !rest.empty()) return std::string(rest);
    std::string stem(dot == std::string_view::npos || dot == 0 ? fileName : fileName.substr(0, dot));
    return stem.empty() ? "song" : stem;
}
