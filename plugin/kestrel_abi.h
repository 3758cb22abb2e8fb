#pragma once
// The 64-bit Kestrel plug-in ABI: the records both sides exchange, the host function positions the
// plug-in calls, and the 14 exports. Other programs load ahx.kpl by exactly this layout.
#include <cstddef>
#include <cstdint>

extern "C" {

struct PluginInfo {  // host-owned; the plug-in reads hostVersion/hostRevision, then fills all
    uint32_t capabilities;
    int32_t version;
    int32_t revision;
    int32_t hostVersion;
    int32_t hostRevision;
    const char* name;
    const char* shortName;
    const char* author;
    const char* description;
    const char* copyright;
    const char* url;
    const char* date;
    void* reserved1;
    void* reserved2;
};

struct StreamOpenInfo {  // host-owned
    uint32_t length;     // out: frames
    int32_t channels;    // out
    int32_t bits;        // out
    int32_t frequency;   // out
    uint32_t flags;      // in and out
    int32_t subsong;     // in (hosts 5.3+)
    int32_t songCount;   // out (hosts 5.3+)
    uint32_t openTag;    // in (hosts 6+)
};

struct SampleRequest {  // host-owned
    void* destination;
    uint32_t framesWanted;
    uint32_t framesWritten;
    int32_t end;
};

struct ScriptCommand {
    const char* name;
    int32_t (*function)(void* scriptState);
};

// Table at position p is tables[p - 1]; the function at position q of a table is table[q - 1].
struct HostApi {
    void** tables[16];
};

}  // extern "C"

// Table positions inside HostApi and function positions inside each table, counted from 1.
constexpr uint32_t kPluginServicesTable = 4;
constexpr uint32_t kFileServicesTable = 5;
constexpr uint32_t kScriptServicesTable = 11;

constexpr uint32_t kRegisterFileTypeFunction = 20;
constexpr uint32_t kFileOpenFunction = 1;
constexpr uint32_t kFileCloseFunction = 2;
constexpr uint32_t kFileSeekFunction = 3;
constexpr uint32_t kFileReadFunction = 4;
constexpr uint32_t kFileOpenTagsFunction = 33;
constexpr uint32_t kCheckNumberArgFunction = 48;

// FileSeek modes as the plug-in uses them.
constexpr int32_t kSeekFromStart = 1;
constexpr int32_t kSeekFromEnd = 2;

// The tag FileOpenTags understands; a tag list is {kOpenTag, value, 0}.
constexpr uint32_t kOpenTag = 1;
// Capability code of the sound-stream family.
constexpr int32_t kStreamCapability = 2;
// StreamOpenInfo.flags bit the plug-in always sets.
constexpr uint32_t kStreamFlagSigned16 = 2;

extern "C" {
using RegisterFileTypeFn = int32_t (*)(PluginInfo* info, int32_t capability, const char* displayName,
                                       const char* mimeType, const char* extension, uint32_t flags,
                                       void* reserved);
using FileOpenFn = void* (*)(const char* name, int32_t mode);
using FileCloseFn = int32_t (*)(void* file);
using FileSeekFn = int64_t (*)(void* file, int64_t offset, int32_t mode);
using FileReadFn = int32_t (*)(void* file, void* destination, int32_t count);
using FileOpenTagsFn = void* (*)(const char* name, int32_t mode, const uint32_t* tags);
using CheckNumberArgFn = double (*)(void* scriptState, int32_t index);

// The exports, as the host resolves them with dlsym.
using InitPluginFn = int32_t (*)(PluginInfo* info, HostApi* host);
using ClosePluginFn = void (*)();
using GetFormatNameFn = const char* (*)();
using GetExtensionsFn = int32_t (*)(int32_t capability);
using OpenStreamFn = void* (*)(const char* fileName, StreamOpenInfo* info);
using StreamSamplesFn = int32_t (*)(void* stream, SampleRequest* request);
using SeekStreamFn = void (*)(void* stream, uint32_t position);
using CloseStreamFn = void (*)(void* stream);
using GetBaseTableFn = const char* (*)();
using GetCommandsFn = const ScriptCommand* (*)();
using GetConstantsFn = const void* (*)();
using GetHelpStringsFn = const char* const* (*)();
using InitLibraryFn = int32_t (*)(void* scriptState);
using FreeLibraryFn = void (*)(void* scriptState);
}

// Layout checks worked out by hand from natural alignment on a 64-bit target.
static_assert(sizeof(void*) == 8, "this ABI is defined for 64-bit targets");
static_assert(offsetof(PluginInfo, hostRevision) == 16);
static_assert(offsetof(PluginInfo, name) == 24);
static_assert(offsetof(PluginInfo, reserved2) == 88);
static_assert(sizeof(PluginInfo) == 96);
static_assert(sizeof(StreamOpenInfo) == 32);
static_assert(offsetof(SampleRequest, framesWanted) == 8);
static_assert(offsetof(SampleRequest, end) == 16);
static_assert(sizeof(SampleRequest) == 24);
static_assert(sizeof(ScriptCommand) == 16);
static_assert(sizeof(HostApi) == 128);
