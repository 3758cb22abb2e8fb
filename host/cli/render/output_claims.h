#pragma once
// Which file of a batch may write an output name when files render at the same time: the first
// in input order that writes it, exactly as in a run one file after the other.
#include <condition_variable>
#include <cstddef>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

class OutputClaims {
public:
    explicit OutputClaims(size_t itemCount) : published_(itemCount, 0), finished_(itemCount, 0) {}

    // The outputs item may write, as soon as they are known. Finish publishes nothing for an item
    // that never got that far.
    void Publish(size_t item, const std::vector<std::string>& keys);
    // Whether key was written already in this run; waits until every earlier item has published
    // and every earlier one that may write key has finished.
    bool WrittenEarlier(size_t item, const std::string& key);
    void MarkWritten(const std::string& key);
    void Finish(size_t item);

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<char> published_;
    std::vector<char> finished_;
    size_t publishedPrefix_ = 0;  // items 0 .. publishedPrefix_ - 1 have all published
    std::map<std::string, std::vector<size_t>> claimants_;
    std::set<std::string> written_;
};
