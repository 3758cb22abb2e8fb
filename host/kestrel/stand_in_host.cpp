#include "host/kestrel/stand_in_host.h"

#include <cstdio>
#include <sys/types.h>

namespace {

constexpr int32_t kSeekFromCurrent = 0;

KestrelHost host;
bool tablesLaidOut = false;

int32_t RegisterFileType(PluginInfo* info, int32_t capability, const char* displayName,
                         const char* mimeType, const char* extension, uint32_t flags, void* reserved) {
    host.registrations.push_back({info, capability, displayName ? displayName : "",
                                  mimeType == nullptr, extension ? extension : "", flags,
                                  reserved == nullptr});
    return 1;
}

void* OpenForReading(const char* name, int32_t mode) {
    if (mode != 0) {
        ++host.unexpectedModes;
        return nullptr;  // this host serves reading only
    }
    if (name == nullptr) return nullptr;  // no such file
    std::FILE* file = std::fopen(name, "rb");
    if (file != nullptr) ++host.openFiles;
    return file;
}

void* FileOpen(const char* name, int32_t mode) {
    ++host.fileOpenCalls;
    return OpenForReading(name, mode);
}

void* FileOpenTags(const char* name, int32_t mode, const uint32_t* tags) {
    ++host.fileOpenTagsCalls;
    if (tags == nullptr || tags[0] != kOpenTag || tags[2] != 0) {
        ++host.malformedTagLists;
        return nullptr;  // a list this host does not understand
    }
    host.lastOpenTag = tags[1];
    return OpenForReading(name, mode);
}

int32_t FileClose(void* file) {
    if (file == nullptr) return 0;  // nothing to close
    --host.openFiles;
    return std::fclose(static_cast<std::FILE*>(file)) == 0 ? 1 : 0;
}

int64_t FileSeek(void* file, int64_t offset, int32_t mode) {
    ++host.seekCalls;
    if (host.seekCalls == host.faults.failSeekAtCall) return -1;  // injected fault
    std::FILE* f = static_cast<std::FILE*>(file);
    if (mode != kSeekFromStart && mode != kSeekFromEnd && mode != kSeekFromCurrent) return -1;  // unknown mode
    const int whence = mode == kSeekFromStart ? SEEK_SET : mode == kSeekFromEnd ? SEEK_END : SEEK_CUR;
    const off_t before = ftello(f);
    if (before < 0 || fseeko(f, static_cast<off_t>(offset), whence) != 0) return -1;  // the file refused
    return before;
}

int32_t FileRead(void* file, void* destination, int32_t count) {
    ++host.readCalls;
    if (count <= 0) return 0;  // nothing asked for
    size_t wanted = static_cast<size_t>(count);
    if (host.readCalls == host.faults.shortReadAtCall) wanted /= 2;
    return static_cast<int32_t>(std::fread(destination, 1, wanted, static_cast<std::FILE*>(file)));
}

double CheckNumberArg(void* scriptState, int32_t index) {
    ++host.numberArgumentCalls;
    host.lastArgumentIndex = index;
    host.lastScriptState = scriptState;
    return host.numberArgument;
}

template <typename Fn>
void Place(void** table, uint32_t position, Fn function) {
    table[position - 1] = reinterpret_cast<void*>(function);
}

}  // namespace

KestrelHost& Kestrel() {
    if (!tablesLaidOut) ResetKestrel();
    return host;
}

void ResetKestrel() {
    tablesLaidOut = true;
    const int32_t stillOpen = host.openFiles;
    host.registrations.clear();
    host.numberArgument = 0;
    host.numberArgumentCalls = 0;
    host.lastArgumentIndex = 0;
    host.lastScriptState = nullptr;
    host.openFiles = stillOpen;
    host.fileOpenCalls = 0;
    host.fileOpenTagsCalls = 0;
    host.lastOpenTag = 0;
    host.malformedTagLists = 0;
    host.unexpectedModes = 0;
    host.readCalls = 0;
    host.seekCalls = 0;
    host.faults = {0, 0};

    host.api = {};
    for (void*& entry : host.pluginServices) entry = nullptr;
    for (void*& entry : host.fileServices) entry = nullptr;
    for (void*& entry : host.scriptServices) entry = nullptr;
    Place(host.pluginServices, kRegisterFileTypeFunction, RegisterFileType);
    Place(host.fileServices, kFileOpenFunction, FileOpen);
    Place(host.fileServices, kFileCloseFunction, FileClose);
    Place(host.fileServices, kFileSeekFunction, FileSeek);
    Place(host.fileServices, kFileReadFunction, FileRead);
    Place(host.fileServices, kFileOpenTagsFunction, FileOpenTags);
    Place(host.scriptServices, kCheckNumberArgFunction, CheckNumberArg);
    host.api.tables[kPluginServicesTable - 1] = host.pluginServices;
    host.api.tables[kFileServicesTable - 1] = host.fileServices;
    host.api.tables[kScriptServicesTable - 1] = host.scriptServices;
}

PluginInfo HostPluginInfo(int32_t version, int32_t revision) {
    PluginInfo info = {};
    info.hostVersion = version;
    info.hostRevision = revision;
    return info;
}
