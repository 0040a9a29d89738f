#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace kova {

// A fixed set of threads that run one job together: Run calls job(w) once for
// every worker w in 0 .. Size() - 1, worker 0 on the calling thread, and
// returns when all have returned. The threads live as long as the pool, so a
// job per frame costs no thread start.
class TWorkerPool {
public:
    explicit TWorkerPool(unsigned size);
    ~TWorkerPool();
    TWorkerPool(const TWorkerPool&) = delete;
    TWorkerPool& operator=(const TWorkerPool&) = delete;

    unsigned Size() const { return static_cast<unsigned>(threads_.size()) + 1; }
    void Run(const std::function<void(unsigned worker)>& job);

private:
    void serve(unsigned worker);

    std::vector<std::thread> threads_;
    std::mutex mutex_;
    std::condition_variable started_;
    std::condition_variable finished_;
    const std::function<void(unsigned)>* job_ = nullptr;
    std::uint64_t generation_ = 0;
    unsigned running_ = 0;
    bool stopping_ = false;
};

// The cores this process may run on (at least 1).
unsigned HardwareThreads();

} // namespace kova
