#pragma once

#include <cstdint>
#include <ostream>
#include <span>
#include <string>

namespace kova {

// The CSV text of group statistics, one row per group and moment:
//     second,frame,group,members,mean_speed,...,radius_of_gyration
// as kova-cli run --stats and the desktop program's Statistics window write
// it, so that both files read the same.

// The text as one CSV field: quoted (with doubled quotes inside) when it holds
// a comma, a quote or a line break, else unchanged.
std::string CsvText(const std::string& text);

// A double as the shortest decimal that reads back to it.
std::string ShortestText(double value);

// "second,frame,group," then GroupStatisticNames(), and the line break.
void WriteStatisticsHeader(std::ostream& out);

// One row: the clock time, the group's name and the values in the order of
// GroupStatisticNames().
void WriteStatisticsRow(std::ostream& out, std::uint32_t second, std::uint32_t frame,
                        const std::string& group, std::span<const double> values);

} // namespace kova
