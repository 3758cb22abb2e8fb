#include "render/progress_line.h"

#include <unistd.h>

#include <cstdio>

#include "common/text_output.h"

ProgressLine::ProgressLine(size_t fileCount, uint32_t sampleRate)
    : enabled_(fileCount > 1 && ::isatty(STDERR_FILENO) == 1), fileCount_(fileCount), sampleRate_(sampleRate) {}

void ProgressLine::StartFile(size_t filesDone, const std::string& name) {
    filesDone_ = filesDone;
    name_ = name;
    started_ = Clock::now();
    Show(0);
}

void ProgressLine::Update(uint64_t framesDone) {
    if (!enabled_ || Clock::now() - shown_ < std::chrono::milliseconds(200)) return;
    Show(framesDone);
}

void ProgressLine::Clear() {
    if (enabled_) std::fprintf(stderr, "\r\033[K");
}

void ProgressLine::Show(uint64_t framesDone) {
    if (!enabled_) return;
    shown_ = Clock::now();
    const double elapsed = std::chrono::duration<double>(shown_ - started_).count();
    const double audioSeconds = static_cast<double>(framesDone) / sampleRate_;
    std::fprintf(stderr, "\r\033[K[%zu/%zu done] %s", filesDone_, fileCount_, Printable(name_).c_str());
    if (elapsed > 0.05) std::fprintf(stderr, "  %.0fx realtime", audioSeconds / elapsed);
    std::fflush(stderr);
}
