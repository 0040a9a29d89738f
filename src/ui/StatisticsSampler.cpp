#include "ui/StatisticsSampler.h"

#include "world/BugGroup.h"

#include <QMetaObject>

namespace kova {

TStatisticsSampler::TStatisticsSampler(TDeliver deliver) : deliver_(std::move(deliver)) {}

TStatisticsSampler::~TStatisticsSampler() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

void TStatisticsSampler::Take(const std::vector<std::unique_ptr<TBugGroup>>& groups,
                              const TStatisticsHistory::TTime& time) {
    std::unique_ptr<TBatch> batch;
    {
        std::unique_lock lock(mutex_);
        if (!thread_.joinable())
            thread_ = std::thread(&TStatisticsSampler::work, this);
        changed_.wait(lock,
                      [this] { return waiting_.size() + (measuring_ ? 1 : 0) < kMaxWaiting; });
        if (!spare_.empty()) {
            batch = std::move(spare_.back());
            spare_.pop_back();
        }
    }
    if (batch == nullptr)
        batch = std::make_unique<TBatch>();
    // The copies are made here, on the simulation's thread, between frames.
    batch->Generation = generation_;
    batch->Time = time;
    batch->Groups.resize(groups.size());
    batch->Snapshots.resize(groups.size());
    for (std::size_t i = 0; i < groups.size(); ++i) {
        batch->Groups[i] = groups[i].get();
        batch->Snapshots[i].Take(*groups[i]);
    }
    {
        const std::lock_guard lock(mutex_);
        waiting_.push_back(std::move(batch));
    }
    changed_.notify_all();
}

void TStatisticsSampler::work() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return stopping_ || !waiting_.empty(); });
        if (stopping_)
            return;
        std::unique_ptr<TBatch> batch = std::move(waiting_.front());
        waiting_.pop_front();
        measuring_ = true;
        lock.unlock();

        batch->Values.resize(batch->Groups.size());
        for (std::size_t i = 0; i < batch->Groups.size(); ++i)
            batch->Values[i] = {batch->Groups[i],
                                TStatisticsHistory::ValuesOf(meter_.Measure(batch->Snapshots[i]))};

        lock.lock();
        measuring_ = false;
        measured_.push_back(std::move(batch));
        changed_.notify_all();
        // Runs on the owner's thread once its event loop comes to it.
        QMetaObject::invokeMethod(
            this, [this] { deliver(); }, Qt::QueuedConnection);
    }
}

void TStatisticsSampler::deliver() {
    for (;;) {
        std::unique_ptr<TBatch> batch;
        {
            const std::lock_guard lock(mutex_);
            if (measured_.empty())
                return;
            batch = std::move(measured_.front());
            measured_.pop_front();
        }
        // generation_ changes on this thread only.
        if (batch->Generation == generation_)
            deliver_(batch->Time, batch->Values);
        const std::lock_guard lock(mutex_);
        spare_.push_back(std::move(batch));
    }
}

void TStatisticsSampler::Flush() {
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return waiting_.empty() && !measuring_; });
    }
    deliver();
}

void TStatisticsSampler::Discard() {
    const std::lock_guard lock(mutex_);
    ++generation_;
    // Not worth measuring any more.
    while (!waiting_.empty()) {
        spare_.push_back(std::move(waiting_.front()));
        waiting_.pop_front();
    }
}

} // namespace kova
