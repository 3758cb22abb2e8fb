#include "host/kestrel/plugin_loader.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

template <typename Fn>
bool Resolve(void* library, const char* name, Fn* function) {
    *function = reinterpret_cast<Fn>(dlsym(library, name));
    return *function != nullptr;
}

bool ResolveAll(void* library, LoadedPlugin* p) {
    return Resolve(library, "InitPlugin", &p->initPlugin) && Resolve(library, "ClosePlugin", &p->closePlugin) &&
           Resolve(library, "GetFormatName", &p->getFormatName) &&
           Resolve(library, "GetExtensions", &p->getExtensions) && Resolve(library, "OpenStream", &p->openStream) &&
           Resolve(library, "StreamSamples", &p->streamSamples) && Resolve(library, "SeekStream", &p->seekStream) &&
           Resolve(library, "CloseStream", &p->closeStream) && Resolve(library, "GetBaseTable", &p->getBaseTable) &&
           Resolve(library, "GetCommands", &p->getCommands) && Resolve(library, "GetConstants", &p->getConstants) &&
           Resolve(library, "GetHelpStrings", &p->getHelpStrings) &&
           Resolve(library, "InitLibrary", &p->initLibrary) && Resolve(library, "FreeLibrary", &p->freeLibrary);
}

bool CopyFile(const char* from, int toDescriptor) {
    std::FILE* in = std::fopen(from, "rb");
    if (in == nullptr) return false;  // no plug-in file to copy
    char buffer[65536];
    bool ok = true;
    size_t got;
    while (ok && (got = std::fread(buffer, 1, sizeof buffer, in)) > 0) {
        ok = write(toDescriptor, buffer, got) == static_cast<ssize_t>(got);
    }
    std::fclose(in);
    return ok;
}

}  // namespace

bool LoadPlugin(const char* path, LoadedPlugin* plugin) {
    *plugin = {};
    void* library = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) return false;  // not a loadable library
    if (!ResolveAll(library, plugin)) {
        dlclose(library);
        *plugin = {};
        return false;  // not a complete plug-in
    }
    plugin->library = library;
    return true;
}

bool LoadFreshPlugin(const char* path, LoadedPlugin* plugin) {
    const char* tmp = std::getenv("TMPDIR");
    std::string copy = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/ahx-plugin-XXXXXX";
    const int descriptor = mkstemp(copy.data());
    if (descriptor < 0) return false;  // no room for the copy
    const bool copied = CopyFile(path, descriptor);
    close(descriptor);
    // A different file is a different object to the loader, with its own statics; the mapping
    // outlives the name.
    const bool loaded = copied && LoadPlugin(copy.c_str(), plugin);
    unlink(copy.c_str());
    return loaded;
}
