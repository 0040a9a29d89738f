#include "analysis/StatisticsHistory.h"

#include "analysis/StatisticsCsv.h"
#include "world/BugGroup.h"

#include <algorithm>

namespace kova {

TStatisticsHistory::TStatisticsHistory(std::size_t capacity)
    : capacity_(std::max<std::size_t>(capacity, 1)), times_(capacity_) {}

TStatisticsHistory::TTime TStatisticsHistory::ClockTime(std::uint32_t second, std::uint32_t frame,
                                                        std::uint8_t fps) {
    return {second, frame, second + (fps > 0 ? static_cast<double>(frame) / fps : 0.0)};
}

TStatisticsHistory::TValues TStatisticsHistory::ValuesOf(const TGroupStatistics& statistics) {
    const std::vector<double> values = GroupStatisticValues(statistics);
    TValues result{};
    std::copy_n(values.begin(), std::min(values.size(), result.size()), result.begin());
    return result;
}

void TStatisticsHistory::Add(const TTime& time, std::span<const TGroupValues> groups) {
    ClockShows(time.Second, time.Frame);
    times_.Push(time);
    for (const TGroupValues& group : groups) {
        auto track = std::find_if(tracks_.begin(), tracks_.end(),
                                  [&](const auto& kept) { return kept->Group == group.Group; });
        if (track == tracks_.end())
            track =
                tracks_.insert(tracks_.end(), std::make_unique<TTrack>(*group.Group, capacity_));
        (*track)->Values.Push(group.Values);
    }
}

bool TStatisticsHistory::isNotAfterNewest(std::uint32_t second, std::uint32_t frame) const {
    if (times_.Empty())
        return false;
    const TTime& newest = times_.Newest();
    return second < newest.Second || (second == newest.Second && frame <= newest.Frame);
}

bool TStatisticsHistory::ClockShows(std::uint32_t second, std::uint32_t frame) {
    if (!isNotAfterNewest(second, frame))
        return false;
    Clear();
    return true;
}

void TStatisticsHistory::Clear() {
    times_.Clear();
    for (const auto& track : tracks_)
        track->Values.Clear();
}

void TStatisticsHistory::Forget(const TBugGroup& group) {
    std::erase_if(tracks_, [&](const auto& track) { return track->Group == &group; });
}

const TStatisticsHistory::TTrack* TStatisticsHistory::TrackOf(const TBugGroup& group) const {
    for (const auto& track : tracks_)
        if (track->Group == &group)
            return track.get();
    return nullptr;
}

void TStatisticsHistory::WriteCsv(std::ostream& out) const {
    WriteStatisticsHeader(out);
    const std::size_t samples = times_.Size();
    for (std::size_t sample = 0; sample < samples; ++sample) {
        const TTime& time = times_[sample];
        for (const auto& track : tracks_) {
            const std::size_t first = samples - track->Values.Size();
            if (sample >= first)
                WriteStatisticsRow(out, time.Second, time.Frame, track->Group->Name,
                                   track->Values[sample - first]);
        }
    }
}

} // namespace kova
