#pragma once
// Scratch folders and whole-file reads and writes for the tests.
#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

// A fresh empty folder, removed with its contents when the object goes.
struct Scratch {
    fs::path path;
    Scratch() {
        std::string pattern = (fs::temp_directory_path() / "ahx-test-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        path = pattern;
    }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;
    ~Scratch() {
        std::error_code error;
        fs::permissions(path, fs::perms::owner_all, fs::perm_options::add, error);
        fs::remove_all(path, error);
    }
    fs::path operator/(const std::string& name) const { return path / name; }
    // Every file below the folder, hidden ones included, as sorted relative paths.
    std::set<std::string> Files() const {
        std::set<std::string> names;
        for (const auto& entry : fs::recursive_directory_iterator(path)) {
            if (!entry.is_directory()) names.insert(fs::relative(entry.path(), path).string());
        }
        return names;
    }
};

template <typename Contents = std::string>
Contents ReadFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return Contents(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const fs::path& file, const Bytes& bytes) {
    if (file.has_parent_path()) fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << std::string(bytes.begin(), bytes.end());
}

// A module written to a scratch folder of its own, removed with it.
struct ModuleFile {
    Bytes bytes;
    Scratch folder;
    std::string path = (folder / "module").string();
    explicit ModuleFile(Bytes contents) : bytes(std::move(contents)) { WriteBytes(path, bytes); }
};
