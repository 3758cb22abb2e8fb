#include "plugin/host_link.h"

HostLink hostLink = {nullptr, 0, 0};

bool HostIsAtLeast5Point3() {
    return hostLink.hostVersion > 5 || (hostLink.hostVersion == 5 && hostLink.hostRevision >= 3);
}

bool HostIsAtLeast6() {
    return hostLink.hostVersion >= 6;
}

namespace {

void* HostFunction(uint32_t tablePosition, uint32_t functionPosition) {
    if (hostLink.api == nullptr) return nullptr;  // described only, never started
    void** table = hostLink.api->tables[tablePosition - 1];
    if (table == nullptr) return nullptr;  // the host offers no such service table
    return table[functionPosition - 1];
}

}  // namespace

RegisterFileTypeFn HostRegisterFileType() {
    return reinterpret_cast<RegisterFileTypeFn>(HostFunction(kPluginServicesTable, kRegisterFileTypeFunction));
}

FileOpenFn HostFileOpen() {
    return reinterpret_cast<FileOpenFn>(HostFunction(kFileServicesTable, kFileOpenFunction));
}

FileOpenTagsFn HostFileOpenTags() {
    return reinterpret_cast<FileOpenTagsFn>(HostFunction(kFileServicesTable, kFileOpenTagsFunction));
}

FileCloseFn HostFileClose() {
    return reinterpret_cast<FileCloseFn>(HostFunction(kFileServicesTable, kFileCloseFunction));
}

FileSeekFn HostFileSeek() {
    return reinterpret_cast<FileSeekFn>(HostFunction(kFileServicesTable, kFileSeekFunction));
}

FileReadFn HostFileRead() {
    return reinterpret_cast<FileReadFn>(HostFunction(kFileServicesTable, kFileReadFunction));
}

CheckNumberArgFn HostCheckNumberArg() {
    return reinterpret_cast<CheckNumberArgFn>(HostFunction(kScriptServicesTable, kCheckNumberArgFunction));
}
