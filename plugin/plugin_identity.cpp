// InitPlugin and the three fixed questions: who the plug-in is, and starting it on a host.
#include "plugin/exports.h"
#include "plugin/host_link.h"
#include "plugin/script_namespace.h"
#include "waves/wave_bank.h"

namespace {

constexpr uint32_t kCapabilities = 0x00020012;  // sound streams, script library, extension query
constexpr int32_t kPluginVersion = 1;
constexpr int32_t kPluginRevision = 3;
constexpr int32_t kOldestHostVersion = 5;
constexpr int32_t kOldestHostRevision = 0;
constexpr int32_t kExtensionAnswer = 4;

// Version-reporting tools find the tag right behind the display name, so both live in one record.
struct NameAndVersionTag {
    char displayName[sizeof("AHX")];
    char versionTag[sizeof("$VER: ahx.kpl 1.3 (27.09.19) [MacOS]")];
};
__attribute__((used)) const NameAndVersionTag nameAndVersionTag = {
    "AHX", "$VER: ahx.kpl 1.3 (27.09.19) [MacOS]"};

const char kAuthor[] = "The ahx.kpl developers";
const char kDescription[] = "Enables Kestrel to play AHX and HivelyTracker modules";
const char kCopyright[] = "Copyright (c) the ahx.kpl developers";
const char kUrl[] = "https://example.org/ahx-kpl";
const char kDate[] = "27.09.19";
const char kFormatName[] = "AHX/Hively Tracker";

void DescribePlugin(PluginInfo* info) {
    info->capabilities = kCapabilities;
    info->version = kPluginVersion;
    info->revision = kPluginRevision;
    info->hostVersion = kOldestHostVersion;
    info->hostRevision = kOldestHostRevision;
    info->name = nameAndVersionTag.displayName;
    info->shortName = kScriptNamespace;
    info->author = kAuthor;
    info->description = kDescription;
    info->copyright = kCopyright;
    info->url = kUrl;
    info->date = kDate;
    info->reserved1 = nullptr;
    info->reserved2 = nullptr;
}

void RegisterFileTypes(PluginInfo* info) {
    RegisterFileTypeFn registerFileType = HostRegisterFileType();
    if (registerFileType == nullptr) return;  // host without plug-in services: nothing to announce
    registerFileType(info, kStreamCapability, "AHX", nullptr, "ahx", 0, nullptr);
    registerFileType(info, kStreamCapability, "Hively Tracker", nullptr, "hvl", 0, nullptr);
}

}  // namespace

int32_t InitPlugin(PluginInfo* info, HostApi* host) {
    if (info != nullptr) {
        // The host's own version arrives in the fields we are about to overwrite.
        hostLink.hostVersion = info->hostVersion;
        hostLink.hostRevision = info->hostRevision;
        DescribePlugin(info);
    }
    if (host == nullptr) return 1;  // describe-only start
    hostLink.api = host;
    if (HostIsAtLeast5Point3()) RegisterFileTypes(info);
    BuildWaveTables();
    return 1;
}

void ClosePlugin(void) {
    // Everything lives in static storage for the life of the process.
}

const char* GetFormatName(void) {
    return kFormatName;
}

int32_t GetExtensions(int32_t capability) {
    return capability == kStreamCapability ? kExtensionAnswer : 0;
}
