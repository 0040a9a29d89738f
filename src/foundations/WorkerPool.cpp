#include "foundations/WorkerPool.h"

#include <sched.h>

namespace kova {

TWorkerPool::TWorkerPool(unsigned size) {
    for (unsigned worker = 1; worker < size; ++worker)
        threads_.emplace_back([this, worker] { serve(worker); });
}

TWorkerPool::~TWorkerPool() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    started_.notify_all();
    for (std::thread& thread : threads_)
        thread.join();
}

void TWorkerPool::Run(const std::function<void(unsigned)>& job) {
    {
        const std::lock_guard lock(mutex_);
        job_ = &job;
        running_ = static_cast<unsigned>(threads_.size());
        ++generation_;
    }
    started_.notify_all();
    job(0);
    std::unique_lock lock(mutex_);
    finished_.wait(lock, [this] { return running_ == 0; });
    job_ = nullptr;
}

void TWorkerPool::serve(unsigned worker) {
    std::uint64_t served = 0;
    for (;;) {
        const std::function<void(unsigned)>* job = nullptr;
        {
            std::unique_lock lock(mutex_);
            started_.wait(lock, [&] { return stopping_ || generation_ != served; });
            if (stopping_)
                return;
            served = generation_;
            job = job_;
        }
        (*job)(worker);
        const std::lock_guard lock(mutex_);
        if (--running_ == 0)
            finished_.notify_one();
    }
}

unsigned HardwareThreads() {
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0)
        return static_cast<unsigned>(CPU_COUNT(&set));
    const unsigned count = std::thread::hardware_concurrency();
    return count > 0 ? count : 1;
}

} // namespace kova
