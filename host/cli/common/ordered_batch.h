#pragma once
// A batch of files worked on by several threads whose messages come out exactly as one thread
// would give them: each item's text is held until every earlier item's text is out.
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

// What one item prints, in the order it printed it, held back until its turn.
struct ItemOutput {
    struct Piece {
        bool toStandardError;
        std::string text;
    };
    std::vector<Piece> pieces;
    int status = 0;  // the item's own verdict, for the caller to combine

    void Out(std::string text) { pieces.push_back({false, std::move(text)}); }
    void Err(std::string text) { pieces.push_back({true, std::move(text)}); }
    // Writes the pieces to standard output and standard error and flushes both.
    void Print() const;
};

// -j / --jobs runs from 1 to this.
constexpr int kMostJobs = 256;

// The cores this process may run on (its affinity mask), at least 1.
unsigned UsableCores();

// Calls work(i, output) for every i below count on up to jobs threads, and emit(i, output) on the
// calling thread for i = 0, 1, ... in order, each as soon as that item and all before it are done.
// Workers run at most a few items ahead of the emitted ones, so the held text stays small. When
// emit returns false no further item starts and the rest are not emitted. With one job everything
// runs on the calling thread.
void RunOrdered(size_t count, unsigned jobs, const std::function<void(size_t, ItemOutput&)>& work,
                const std::function<bool(size_t, ItemOutput&)>& emit);
