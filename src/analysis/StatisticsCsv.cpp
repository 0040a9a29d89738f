#include "analysis/StatisticsCsv.h"

#include "analysis/GroupStatistics.h"

#include <charconv>

namespace kova {

std::string CsvText(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

std::string ShortestText(double value) {
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    return std::string(text, end);
}

void WriteStatisticsHeader(std::ostream& out) {
    out << "second,frame,group";
    for (const std::string& name : GroupStatisticNames())
        out << ',' << name;
    out << '\n';
}

void WriteStatisticsRow(std::ostream& out, std::uint32_t second, std::uint32_t frame,
                        const std::string& group, std::span<const double> values) {
    // std::to_string, unlike the stream, ignores the stream's locale.
    out << std::to_string(second) << ',' << std::to_string(frame) << ',' << CsvText(group);
    for (const double value : values)
        out << ',' << ShortestText(value);
    out << '\n';
}

} // namespace kova
