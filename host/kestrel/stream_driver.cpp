#include "host/kestrel/stream_driver.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "host/kestrel/stand_in_host.h"

bool StartPlugin(const char* path, LoadedPlugin* plugin, int32_t hostVersion, int32_t hostRevision) {
    if (!LoadPlugin(path, plugin)) return false;  // not a loadable plug-in
    ResetKestrel();
    PluginInfo info = HostPluginInfo(hostVersion, hostRevision);
    return plugin->initPlugin(&info, &Kestrel().api) == 1;
}

bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;  // nowhere to write
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

std::string TemporaryPath(const std::string& name) {
    const char* tmp = std::getenv("TMPDIR");
    return std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/" + name + "-" + std::to_string(getpid());
}

std::vector<int16_t> PullFrames(const LoadedPlugin& plugin, void* stream, uint32_t frames, uint32_t requestFrames) {
    std::vector<int16_t> samples(2 * size_t{frames});
    for (uint32_t done = 0; done < frames;) {
        const uint32_t wanted = frames - done < requestFrames ? frames - done : requestFrames;
        SampleRequest request = {samples.data() + 2 * size_t{done}, wanted, 0, 0};
        plugin.streamSamples(stream, &request);
        done += wanted;
    }
    return samples;
}
