#include "render/flac_tags.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "common/module_file.h"

namespace {

constexpr uint8_t kLastBlock = 0x80;
constexpr uint8_t kCommentBlock = 4;
constexpr uint32_t kLargestBlock = 0xFFFFFF;

uint32_t ReadBigEndian24(const uint8_t* bytes) { return uint32_t{bytes[0]} << 16 | uint32_t{bytes[1]} << 8 | bytes[2]; }
uint32_t ReadLittleEndian32(const std::string& bytes, size_t at) {
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<uint8_t>(bytes[at + i]);
    return value;
}
void AppendLittleEndian32(std::string& bytes, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<char>(value >> (8 * i) & 0xFF));
}
void PutLittleEndian32(std::string& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(value >> (8 * i) & 0xFF);
}
std::string BlockHeader(uint8_t type, bool last, size_t length) {
    return {static_cast<char>(type | (last ? kLastBlock : 0)), static_cast<char>(length >> 16 & 0xFF),
            static_cast<char>(length >> 8 & 0xFF), static_cast<char>(length & 0xFF)};
}

}  // namespace

void AddFlacComments(const std::string& path, const std::vector<std::string>& comments) {
    const auto fail = [&path](const char* why) { return FileError(path + ": cannot add tags: " + why); };
    std::ifstream in(path, std::ios::binary);
    char magic[4];
    if (!in.read(magic, 4) || std::string(magic, 4) != "fLaC") throw fail("not a FLAC file");
    // The metadata blocks, the comment block changed or added after the first (stream info).
    std::string head(magic, 4);
    bool last = false, commented = false;
    while (!last) {
        uint8_t header[4];
        if (!in.read(reinterpret_cast<char*>(header), 4)) throw fail("metadata cut short");
        last = (header[0] & kLastBlock) != 0;
        const uint8_t type = header[0] & ~kLastBlock;
        std::string body(ReadBigEndian24(header + 1), '\0');
        if (!in.read(body.data(), static_cast<std::streamsize>(body.size()))) throw fail("metadata cut short");
        if (type == kCommentBlock) {
            if (body.size() < 8) throw fail("damaged comment block");
            const size_t countAt = 4 + size_t{ReadLittleEndian32(body, 0)};
            if (countAt + 4 > body.size()) throw fail("damaged comment block");
            PutLittleEndian32(body, countAt, ReadLittleEndian32(body, countAt) + static_cast<uint32_t>(comments.size()));
            for (const std::string& comment : comments) {
                AppendLittleEndian32(body, static_cast<uint32_t>(comment.size()));
                body += comment;
            }
            commented = true;
        }
        if (body.size() > kLargestBlock) throw fail("comment block too large");
        head += BlockHeader(type, last && commented, body.size()) + body;
        if (last && !commented) {
            std::string block;
            AppendLittleEndian32(block, 0);  // no vendor string
            AppendLittleEndian32(block, static_cast<uint32_t>(comments.size()));
            for (const std::string& comment : comments) {
                AppendLittleEndian32(block, static_cast<uint32_t>(comment.size()));
                block += comment;
            }
            // The block read last loses its flag to the new one.
            head[head.size() - body.size() - 4] = static_cast<char>(type);
            head += BlockHeader(kCommentBlock, true, block.size()) + block;
        }
    }
    const std::string rewritten = path + ".tags";
    {
        std::ofstream out(rewritten, std::ios::binary | std::ios::trunc);
        out << head << in.rdbuf();
        out.flush();
        if (!out) {
            std::remove(rewritten.c_str());
            throw fail("cannot write");
        }
    }
    std::filesystem::permissions(rewritten, std::filesystem::status(path).permissions());
    if (std::rename(rewritten.c_str(), path.c_str()) != 0) {
        std::remove(rewritten.c_str());
        throw fail("cannot rename");
    }
}
