#pragma once
// A batch's progress on a terminal: one line on stderr, rewritten in place, fed by every worker.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

class ProgressLine {
public:
    ProgressLine(size_t fileCount, uint32_t sampleRate);

    // Shows the file a worker starts on.
    void StartFile(const std::string& name);
    // done files are finished and reported, in input order; next is the first still to come.
    void Reported(size_t done, const std::string& next);
    // frames: rendered since the last call, by any worker.
    void Add(uint64_t frames);
    // Clears the line and runs print while no worker redraws it.
    void Print(const std::function<void()>& print);

private:
    using Clock = std::chrono::steady_clock;

    void Show();

    std::mutex mutex_;
    bool enabled_;
    size_t fileCount_;
    uint32_t sampleRate_;
    size_t filesDone_ = 0;
    uint64_t framesDone_ = 0;
    std::string name_;
    Clock::time_point started_;
    Clock::time_point shown_{};
};
