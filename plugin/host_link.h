#pragma once
// Process-wide link to the host: its HostApi and version, and typed access to the few host
// functions the plug-in calls. A missing host or table entry reads as a null function.
#include <cstdint>

#include "plugin/kestrel_abi.h"

struct HostLink {
    HostApi* api;          // null until InitPlugin is given a host
    int32_t hostVersion;   // as the host reported it in PluginInfo
    int32_t hostRevision;
};

extern HostLink hostLink;

bool HostIsAtLeast5Point3();
bool HostIsAtLeast6();

// Each returns null when there is no host or the host left that entry empty.
RegisterFileTypeFn HostRegisterFileType();
FileOpenFn HostFileOpen();
FileOpenTagsFn HostFileOpenTags();
FileCloseFn HostFileClose();
FileSeekFn HostFileSeek();
FileReadFn HostFileRead();
CheckNumberArgFn HostCheckNumberArg();
