#include "common/ordered_batch.h"

#include <sched.h>

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <iostream>
#include <mutex>
#include <thread>

void ItemOutput::Print() const {
    for (const Piece& piece : pieces) (piece.toStandardError ? std::cerr : std::cout) << piece.text;
    std::cout.flush();
    std::cerr.flush();
}

unsigned UsableCores() {
    cpu_set_t set;
    if (::sched_getaffinity(0, sizeof set, &set) == 0) return std::max(1, CPU_COUNT(&set));
    return std::max(1u, std::thread::hardware_concurrency());
}

void RunOrdered(size_t count, unsigned jobs, const std::function<void(size_t, ItemOutput&)>& work,
                const std::function<bool(size_t, ItemOutput&)>& emit) {
    jobs = static_cast<unsigned>(std::clamp<size_t>(jobs, 1, std::max<size_t>(count, 1)));
    if (jobs == 1) {
        for (size_t i = 0; i < count; ++i) {
            ItemOutput output;
            work(i, output);
            if (!emit(i, output)) return;
        }
        return;
    }
    // How far workers may run ahead of the item whose text is due.
    const size_t window = size_t{4} * jobs;
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<ItemOutput> outputs(count);
    std::vector<char> done(count, 0);
    size_t next = 0, emitted = 0;
    bool stop = false;
    auto worker = [&] {
        std::unique_lock<std::mutex> lock(mutex);
        for (;;) {
            changed.wait(lock, [&] { return stop || next >= count || next < emitted + window; });
            if (stop || next >= count) return;
            const size_t item = next++;
            lock.unlock();
            ItemOutput output;
            work(item, output);
            lock.lock();
            outputs[item] = std::move(output);
            done[item] = 1;
            changed.notify_all();
        }
    };
    std::vector<std::thread> threads;
    for (unsigned j = 0; j < jobs; ++j) threads.emplace_back(worker);
    for (size_t item = 0; item < count; ++item) {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [&] { return done[item] != 0; });
        ItemOutput output = std::move(outputs[item]);
        lock.unlock();
        const bool goOn = emit(item, output);
        lock.lock();
        emitted = item + 1;
        if (!goOn) stop = true;
        changed.notify_all();
        if (stop) break;
    }
    for (std::thread& thread : threads) thread.join();
}
