#pragma once
// A batch's progress on a terminal: one line on stderr, rewritten in place.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

class ProgressLine {
public:
    ProgressLine(size_t fileCount, uint32_t sampleRate);

    void StartFile(size_t filesDone, const std::string& name);
    void Update(uint64_t framesDone);
    // Clears the line so that ordinary output does not run into it.
    void Clear();

private:
    using Clock = std::chrono::steady_clock;

    void Show(uint64_t framesDone);

    bool enabled_;
    size_t fileCount_;
    uint32_t sampleRate_;
    size_t filesDone_ = 0;
    std::string name_;
    Clock::time_point started_{};
    Clock::time_point shown_{};
};

