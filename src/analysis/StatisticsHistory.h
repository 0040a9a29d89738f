#pragma once

#include "analysis/GroupStatistics.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <ostream>
#include <span>
#include <vector>

namespace kova {

class TBugGroup;

// A fixed number of the newest items: once full, each new item takes the place
// of the oldest. The memory grows with the items up to the capacity.
template <typename T> class TRing {
public:
    explicit TRing(std::size_t capacity) : capacity_(capacity > 0 ? capacity : 1) {}

    void Push(const T& item) {
        if (items_.size() < capacity_) {
            items_.push_back(item);
            return;
        }
        items_[oldest_] = item;
        oldest_ = (oldest_ + 1) % capacity_;
    }
    void Clear() {
        items_.clear();
        oldest_ = 0;
    }
    std::size_t Size() const { return items_.size(); }
    bool Empty() const { return items_.empty(); }
    // The i-th oldest item (0: the oldest).
    const T& operator[](std::size_t i) const {
        const std::size_t at = oldest_ + i;
        return items_[at < items_.size() ? at : at - items_.size()];
    }
    const T& Newest() const { return (*this)[items_.size() - 1]; }

private:
    std::size_t capacity_;
    std::vector<T> items_;
    // Where the oldest item lies once the ring is full (0 until then).
    std::size_t oldest_ = 0;
};

// The statistics of every group, frame after frame, for plotting and saving:
// the newest samples only, up to a capacity per group, so that a long run
// holds a bounded amount of memory (about 100 bytes a group and sample).
//
// Every sample holds all groups at one clock time. A group seen for the first
// time starts its track there, so a track holds the newest samples of the time
// line: sample j of a track of n samples was taken at
// Time(SampleCount() - n + j).
//
// The clock times only ever increase. When the clock shows a time that is not
// later than the newest sample's (the run was rewound, started again from its
// start values or turned back at the loop point), the samples belong to a past
// that no longer holds, and all of them are dropped.
class TStatisticsHistory {
public:
    static constexpr std::size_t kDefaultCapacity = 10000;
    using TValues = std::array<double, kGroupStatisticCount>;

    struct TTime {
        std::uint32_t Second = 0;
        std::uint32_t Frame = 0;
        // Second + Frame / FPS, with the frame rate at the time of sampling.
        double Seconds = 0;
    };

    // One group's values in a sample.
    struct TGroupValues {
        const TBugGroup* Group = nullptr;
        TValues Values{};
    };

    struct TTrack {
        TTrack(const TBugGroup& group, std::size_t capacity) : Group(&group), Values(capacity) {}
        const TBugGroup* Group;
        TRing<TValues> Values;
    };

    explicit TStatisticsHistory(std::size_t capacity = kDefaultCapacity);

    // The clock time "second:frame" at this frame rate.
    static TTime ClockTime(std::uint32_t second, std::uint32_t frame, std::uint8_t fps);
    // The statistics in the order of GroupStatisticNames().
    static TValues ValuesOf(const TGroupStatistics& statistics);

    // Keeps the values of every group at this clock time as one sample.
    // `groups` holds every group that has a track (all groups measured at
    // that time), in any order.
    void Add(const TTime& time, std::span<const TGroupValues> groups);
    // The clock shows this time now; true when that dropped the samples.
    bool ClockShows(std::uint32_t second, std::uint32_t frame);
    // Drops every sample; the tracks stay, empty.
    void Clear();
    // The group is going away, and its track with it.
    void Forget(const TBugGroup& group);

    // The clock times of the samples, the oldest first.
    std::size_t SampleCount() const { return times_.Size(); }
    const TTime& Time(std::size_t sample) const { return times_[sample]; }
    // The tracks in the order their groups were first recorded.
    const std::vector<std::unique_ptr<TTrack>>& Tracks() const { return tracks_; }
    // The group's track, or nullptr when it has none.
    const TTrack* TrackOf(const TBugGroup& group) const;

    // Every sample kept, one CSV row per group and sample, in the order of
    // the samples and, within one, of the tracks; with the header row first
    // (see StatisticsCsv.h). Groups are named as they are called now.
    void WriteCsv(std::ostream& out) const;

private:
    bool isNotAfterNewest(std::uint32_t second, std::uint32_t frame) const;

    std::size_t capacity_;
    TRing<TTime> times_;
    std::vector<std::unique_ptr<TTrack>> tracks_;
};

} // namespace kova
