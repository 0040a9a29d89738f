#pragma once

#include "analysis/GroupStatistics.h"
#include "analysis/StatisticsHistory.h"

#include <QObject>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

namespace kova {

class TBugGroup;

// Measures the statistics of the groups on a thread of its own, so that a
// frame pays only for copying the members' positions and velocities (about a
// tenth of measuring them) while the measuring runs beside the next frame.
// The measurements come back on the owner's thread, in the order the samples
// were taken, through the deliver function; the thread reads nothing but the
// copies, so the simulation goes on undisturbed.
//
// At most kMaxWaiting samples wait to be measured; taking one more waits for
// the oldest, so that a measuring thread that cannot keep up slows the frames
// instead of piling up copies.
class TStatisticsSampler : public QObject {
    Q_OBJECT
public:
    using TDeliver = std::function<void(const TStatisticsHistory::TTime& time,
                                        std::span<const TStatisticsHistory::TGroupValues>)>;
    static constexpr std::size_t kMaxWaiting = 4;

    explicit TStatisticsSampler(TDeliver deliver);
    ~TStatisticsSampler() override;

    // Copies every group of the list as it stands now, to be measured as the
    // sample of this clock time. The thread starts with the first sample.
    void Take(const std::vector<std::unique_ptr<TBugGroup>>& groups,
              const TStatisticsHistory::TTime& time);
    // Waits until every sample taken is measured, and delivers them now.
    void Flush();
    // The samples not delivered yet are never delivered.
    void Discard();

private:
    struct TBatch {
        std::uint64_t Generation = 0;
        TStatisticsHistory::TTime Time;
        std::vector<const TBugGroup*> Groups;
        // Kept from one use of the batch to the next, with their memory.
        std::vector<TGroupSnapshot> Snapshots;
        std::vector<TStatisticsHistory::TGroupValues> Values;
    };

    // The measuring thread.
    void work();
    // Hands the measured batches over, oldest first.
    void deliver();

    TDeliver deliver_;
    std::mutex mutex_;
    std::condition_variable changed_;
    // Taken and waiting to be measured, measured and waiting to be handed
    // over, and handed over (to be used again).
    std::deque<std::unique_ptr<TBatch>> waiting_;
    std::deque<std::unique_ptr<TBatch>> measured_;
    std::vector<std::unique_ptr<TBatch>> spare_;
    // The thread is measuring a batch taken out of waiting_.
    bool measuring_ = false;
    bool stopping_ = false;
    // Batches of an older generation were discarded.
    std::uint64_t generation_ = 0;
    // Used by the thread only.
    TGroupMeter meter_;
    std::thread thread_;
};

} // namespace kova
