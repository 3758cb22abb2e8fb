#include "render/output_claims.h"

void OutputClaims::Publish(size_t item, const std::vector<std::string>& keys) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (published_[item] != 0) return;
    for (const std::string& key : keys) claimants_[key].push_back(item);
    published_[item] = 1;
    while (publishedPrefix_ < published_.size() && published_[publishedPrefix_] != 0) ++publishedPrefix_;
    changed_.notify_all();
}

bool OutputClaims::WrittenEarlier(size_t item, const std::string& key) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return publishedPrefix_ >= item; });
    const auto claim = claimants_.find(key);
    if (claim != claimants_.end()) {
        for (const size_t other : claim->second) {
            if (other < item) changed_.wait(lock, [&] { return finished_[other] != 0; });
        }
    }
    return written_.count(key) != 0;
}

void OutputClaims::MarkWritten(const std::string& key) {
    std::lock_guard<std::mutex> lock(mutex_);
    written_.insert(key);
}

void OutputClaims::Finish(size_t item) {
    Publish(item, {});
    std::lock_guard<std::mutex> lock(mutex_);
    finished_[item] = 1;
    changed_.notify_all();
}
