#pragma once
// Dates as the export writes them: the locale's short date, followed by the
// time with seconds when times are shown; today, yesterday and tomorrow by
// name when relative dates are shown. Local time.
//
// An export formats a date or two per line for up to millions of lines, so
// the day's text is cached and the time is laid out from a pattern read
// once, rather than asking the locale for every date.

#include <QLocale>
#include <QString>

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace qv {

class ExportDateFormatter {
public:
    // `nowNs`: the moment that decides which day is today (ns since the epoch).
    ExportDateFormatter(bool showTime, bool showRelative, std::int64_t nowNs, QLocale locale = QLocale());

    // Appends the text of a date given in ns since the epoch (UTF-8).
    void appendUtf8(std::int64_t dateNs, std::string& out);
    QString text(std::int64_t dateNs);

private:
    struct Token {
        enum Kind { Literal, Hour12, Hour24, Minute, Second, AmPm } kind;
        int width = 1;   // digits; for AmPm 1 is upper case, 0 lower case
        std::string literal;
    };

    std::int64_t localOffsetSeconds(std::int64_t utcSeconds);
    const std::string& dayText(std::int64_t localDay);
    void appendTime(std::int64_t secondsOfDay, std::string& out);
    void compileTimePattern(const QString& pattern);

    QLocale m_locale;
    bool m_showTime;
    bool m_showRelative;
    std::int64_t m_today = 0;
    std::string m_separator;     // between the date and the time
    QString m_timePattern;
    std::vector<Token> m_timeTokens;
    bool m_timeFallback = false; // a pattern this class does not lay out itself
    std::string m_am[2], m_pm[2];   // [0] lower case, [1] upper case
    std::unordered_map<std::int64_t, std::string> m_days;
    // Offsets from UTC by day (UTC days), for the days without a change of offset.
    static constexpr std::size_t kOffsetSlots = 1024;
    struct OffsetSlot { std::int64_t day = INT64_MIN; std::int64_t offset = 0; };
    std::vector<OffsetSlot> m_offsets = std::vector<OffsetSlot>(kOffsetSlots);
};

}  // namespace qv
