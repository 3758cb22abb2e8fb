#include "plugin/module_file.h"

#include <cstdlib>
#include <cstring>

#include "plugin/host_link.h"

namespace {

constexpr int32_t kMagicBytes = 3;
constexpr int32_t kReadMode = 0;

struct FileFunctions {
    FileCloseFn close;
    FileSeekFn seek;
    FileReadFn read;
};

void* OpenFile(const char* fileName, uint32_t openTag) {
    if (openTag != 0) {
        FileOpenTagsFn openTags = HostFileOpenTags();
        if (openTags == nullptr) return nullptr;  // host cannot honour the tag
        const uint32_t tags[3] = {kOpenTag, openTag, 0};
        return openTags(fileName, kReadMode, tags);
    }
    FileOpenFn open = HostFileOpen();
    if (open == nullptr) return nullptr;  // host offers no file access
    return open(fileName, kReadMode);
}

bool HasModuleMagic(const uint8_t* magic) {
    return std::memcmp(magic, "THX", kMagicBytes) == 0 || std::memcmp(magic, "HVL", kMagicBytes) == 0;
}

// The whole file from its start, or null. Leaves the file open for the caller to close.
uint8_t* CopyOpenFile(void* file, const FileFunctions& io, uint32_t* byteCount) {
    uint8_t magic[kMagicBytes];
    if (io.read(file, magic, kMagicBytes) != kMagicBytes) return nullptr;  // shorter than a magic
    if (!HasModuleMagic(magic)) return nullptr;  // not a module
    if (io.seek(file, 0, kSeekFromEnd) < 0) return nullptr;  // length unknown
    // Seeking back reports where the end was: the file's length.
    const int64_t fileBytes = io.seek(file, 0, kSeekFromStart);
    if (fileBytes < kMagicBytes) return nullptr;  // failed seek, or a length that contradicts the read
    if (fileBytes > int64_t{kMaxModuleBytes}) return nullptr;  // far beyond any real module
    uint8_t* bytes = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(fileBytes)));
    if (bytes == nullptr) return nullptr;  // out of memory
    const int32_t wantedBytes = static_cast<int32_t>(fileBytes);
    if (io.read(file, bytes, wantedBytes) != wantedBytes) {
        std::free(bytes);
        return nullptr;  // short read: a partial copy would parse as a different module
    }
    *byteCount = static_cast<uint32_t>(fileBytes);
    return bytes;
}

}  // namespace

bool ReadModuleFile(const char* fileName, uint32_t openTag, ModuleFile* file) {
    const FileFunctions io = {HostFileClose(), HostFileSeek(), HostFileRead()};
    // Opening a file we could not read or close again would leak it.
    if (io.close == nullptr || io.seek == nullptr || io.read == nullptr) return false;  // partial host
    void* handle = OpenFile(fileName, openTag);
    if (handle == nullptr) return false;  // the host could not open it
    uint32_t byteCount = 0;
    uint8_t* bytes = CopyOpenFile(handle, io, &byteCount);
    io.close(handle);
    if (bytes == nullptr) return false;  // reason given where the copy failed
    file->bytes = bytes;
    file->byteCount = byteCount;
    return true;
}
