// The sound-stream family: open a module as a stream of 16-bit stereo frames, pull, rewind, close.
#include <cstdlib>
#include <cstring>

#include "loader/tune.h"
#include "mixer/mixer.h"
#include "plugin/exports.h"
#include "plugin/host_link.h"
#include "plugin/module_file.h"
#include "plugin/playing_time.h"
#include "plugin/stream_handle.h"

namespace {

constexpr int32_t kStereoMode = 0;
constexpr int32_t kChannels = 2;
constexpr int32_t kBitsPerSample = 16;
constexpr uint32_t kSampleBytes = 2;  // right sample follows the left one

void FreeStream(StreamHandle* stream) {
    if (stream->tune != nullptr) FreeTune(stream->tune);
    std::free(stream->fileData);
    std::free(stream);
}

void RefillChunk(StreamHandle* stream) {
    DecodeFrame(stream->tune, stream->chunk, stream->chunk + kSampleBytes, kFrameBytes);
    const uint32_t decodedFrames = FramesPerDecode(stream->tune);
    stream->bufferedFrames = decodedFrames < kChunkFrames ? decodedFrames : kChunkFrames;
    stream->chunkReadFrame = 0;
}

// Counts the request against the stream's length without letting the count wrap.
void CountDelivered(StreamHandle* stream, SampleRequest* request) {
    const uint32_t framesToEnd = stream->totalFrames - stream->deliveredFrames;
    if (request->framesWanted >= framesToEnd) {
        request->framesWritten = framesToEnd;
        request->end = 1;
        stream->deliveredFrames = stream->totalFrames;
        return;  // the end is reached: what lies beyond it does not count
    }
    request->framesWritten = request->framesWanted;
    request->end = 0;
    stream->deliveredFrames += request->framesWanted;
}

}  // namespace

void* OpenStream(const char* fileName, StreamOpenInfo* info) {
    if (hostLink.api == nullptr) return nullptr;  // not started: no host to read files through
    if (info == nullptr) return nullptr;  // nowhere to report the stream's format
    const uint32_t openTag = HostIsAtLeast6() ? info->openTag : 0;
    ModuleFile file;
    if (!ReadModuleFile(fileName, openTag, &file)) return nullptr;  // reason given in the reader
    StreamHandle* stream = static_cast<StreamHandle*>(std::calloc(1, sizeof(StreamHandle)));
    if (stream == nullptr) {
        std::free(file.bytes);
        return nullptr;  // out of memory
    }
    stream->fileData = file.bytes;
    stream->fileSize = file.byteCount;
    stream->tune = LoadTune(stream->fileData, stream->fileSize, kStereoMode, kOutputFrequency);
    if (stream->tune == nullptr) {
        FreeStream(stream);
        return nullptr;  // not a module the readers accept
    }
    const uint32_t song = HostIsAtLeast5Point3() ? static_cast<uint32_t>(info->subsong) : 0;
    if (StartSubsong(stream->tune, song) == 0) {
        FreeStream(stream);
        return nullptr;  // no such subsong
    }
    stream->subsong = song;
    stream->totalFrames = StreamLengthFrames(playingTimeMs);

    info->length = stream->totalFrames;
    info->channels = kChannels;
    info->bits = kBitsPerSample;
    info->frequency = static_cast<int32_t>(kOutputFrequency);
    info->flags |= kStreamFlagSigned16;
    if (HostIsAtLeast5Point3()) info->songCount = stream->tune->subsongCount + 1;
    return stream;
}

int32_t StreamSamples(void* handle, SampleRequest* request) {
    StreamHandle* stream = static_cast<StreamHandle*>(handle);
    if (stream == nullptr || request == nullptr) return 0;  // nothing to fill
    uint8_t* writePosition = static_cast<uint8_t*>(request->destination);
    uint32_t framesLeft = request->framesWanted;
    // The destination gets the whole request, even past the end; framesWritten says what counts.
    while (framesLeft > 0) {
        if (stream->bufferedFrames == 0) RefillChunk(stream);
        const uint32_t frames = framesLeft < stream->bufferedFrames ? framesLeft : stream->bufferedFrames;
        std::memcpy(writePosition, stream->chunk + stream->chunkReadFrame * kFrameBytes,
                    size_t{frames} * kFrameBytes);
        writePosition += size_t{frames} * kFrameBytes;
        framesLeft -= frames;
        stream->bufferedFrames -= frames;
        stream->chunkReadFrame += frames;
    }
    CountDelivered(stream, request);
    return 0;
}

void SeekStream(void* handle, uint32_t position) {
    StreamHandle* stream = static_cast<StreamHandle*>(handle);
    if (stream == nullptr) return;  // no stream to move
    if (position != 0) return;  // only a rewind to the start is supported
    Tune* fresh = LoadTune(stream->fileData, stream->fileSize, kStereoMode, kOutputFrequency);
    if (fresh == nullptr) return;  // keep playing the old Tune rather than none
    FreeTune(stream->tune);
    stream->tune = fresh;
    StartSubsong(fresh, stream->subsong);
    stream->deliveredFrames = 0;
    // Frames rendered before the rewind belong to the old position; the song restarts at once.
    stream->bufferedFrames = 0;
    stream->chunkReadFrame = 0;
}

void CloseStream(void* handle) {
    if (handle == nullptr) return;  // nothing was opened
    FreeStream(static_cast<StreamHandle*>(handle));
}
