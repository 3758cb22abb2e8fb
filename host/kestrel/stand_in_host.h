#pragma once
// A stand-in for the Kestrel host: the host side of the plug-in ABI over ordinary files, with
// records of what the plug-in asked for and faults a test can inject. Host functions carry no
// context pointer, so there is one host per process.
#include <cstdint>
#include <string>
#include <vector>

#include "plugin/kestrel_abi.h"

struct RegisteredFileType {
    const PluginInfo* info;
    int32_t capability;
    std::string displayName;
    bool mimeTypeNull;
    std::string extension;
    uint32_t flags;
    bool reservedNull;
};

// Call numbers count from 1 since the last ResetKestrel; 0 injects nothing.
struct FileFaults {
    uint32_t shortReadAtCall;  // that FileRead delivers only half of what was asked
    uint32_t failSeekAtCall;   // that FileSeek fails with -1
};

struct KestrelHost {
    HostApi api;
    void* pluginServices[kRegisterFileTypeFunction];
    void* fileServices[kFileOpenTagsFunction];
    void* scriptServices[kCheckNumberArgFunction];

    std::vector<RegisteredFileType> registrations;

    double numberArgument;  // what CheckNumberArg answers
    uint32_t numberArgumentCalls;
    int32_t lastArgumentIndex;
    void* lastScriptState;

    int32_t openFiles;  // opened and not yet closed
    uint32_t fileOpenCalls;
    uint32_t fileOpenTagsCalls;
    uint32_t lastOpenTag;        // tag 1's value in the last well-formed tag list
    uint32_t malformedTagLists;  // FileOpenTags calls whose list was not {1, value, 0}
    uint32_t unexpectedModes;    // opens asking for anything but reading (mode 0)
    uint32_t readCalls;
    uint32_t seekCalls;
    FileFaults faults;
};

KestrelHost& Kestrel();
// Clears every record and fault and lays out the three service tables again. Files the plug-in
// left open stay open (and counted as such until they are closed).
void ResetKestrel();
// A PluginInfo as the host hands it over: everything zero except its own version.
PluginInfo HostPluginInfo(int32_t version, int32_t revision);
