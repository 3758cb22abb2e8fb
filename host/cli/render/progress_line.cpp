#include "render/progress_line.h"

#include <unistd.h>

#include <cstdio>

#include "common/text_output.h"

ProgressLine::ProgressLine(size_t fileCount, uint32_t sampleRate)
    : enabled_(fileCount > 1 && ::isatty(STDERR_FILENO) == 1),
      fileCount_(fileCount),
      sampleRate_(sampleRate),
      started_(Clock::now()) {}

void ProgressLine::StartFile(const std::string& name) {
    if (!enabled_) return;
    std::lock_guard<std::mutex> lock(mutex_);
    name_ = name;
    Show();
}

void ProgressLine::Reported(size_t done, const std::string& next) {
    if (!enabled_) return;
    std::lock_guard<std::mutex> lock(mutex_);
    filesDone_ = done;
    if (done >= fileCount_) return;
    name_ = next;
    Show();
}

void ProgressLine::Add(uint64_t frames) {
    if (!enabled_) return;
    std::lock_guard<std::mutex> lock(mutex_);
    framesDone_ += frames;
    if (Clock::now() - shown_ >= std::chrono::milliseconds(200)) Show();
}

void ProgressLine::Print(const std::function<void()>& print) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (enabled_) std::fprintf(stderr, "\r\033[K");
    print();
}

void ProgressLine::Show() {
    shown_ = Clock::now();
    const double elapsed = std::chrono::duration<double>(shown_ - started_).count();
    const double audioSeconds = static_cast<double>(framesDone_) / sampleRate_;
    std::fprintf(stderr, "\r\033[K[%zu/%zu done] %s", filesDone_, fileCount_, Printable(name_).c_str());
    if (elapsed > 0.05) std::fprintf(stderr, "  %.0fx realtime", audioSeconds / elapsed);
    std::fflush(stderr);
}
