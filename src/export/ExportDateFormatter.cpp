#include "export/ExportDateFormatter.h"

#include "base/Messages.h"
#include "platform/FileSystem.h"

#include <QDate>
#include <QTime>

#include <unicode/datefmt.h>
#include <unicode/locid.h>
#include <unicode/smpdtfmt.h>

#include <ctime>
#include <memory>

namespace qv {
namespace {

constexpr std::int64_t kDaySeconds = 86400;
constexpr std::int64_t kJulianDayOfEpoch = 2440588;

std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
    std::int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
    return q;
}

std::int64_t offsetAt(std::int64_t utcSeconds) {
    const std::time_t t = static_cast<std::time_t>(utcSeconds);
    std::tm parts{};
    if (!localtime_r(&t, &parts)) return 0;
    return parts.tm_gmtoff;
}

// The locale's time with seconds: its long time pattern without the zone.
QString mediumTimePattern(const QLocale& locale) {
    const QString pattern = locale.timeFormat(QLocale::LongFormat);
    QString kept;
    bool quoted = false;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern.at(i);
        if (c == QLatin1Char('\'')) quoted = !quoted;
        if (!quoted && c == QLatin1Char('t')) continue;
        kept.append(c);
    }
    auto isTrim = [](QChar c) { return c.isSpace() || c == QLatin1Char(',') || c == QLatin1Char('-'); };
    qsizetype begin = 0, end = kept.size();
    while (begin < end && isTrim(kept.at(begin))) ++begin;
    while (end > begin && isTrim(kept.at(end - 1))) --end;
    return kept.mid(begin, end - begin);
}

std::string unquoteIcuLiteral(const icu::UnicodeString& text) {
    std::string utf8;
    text.toUTF8String(utf8);
    std::string out;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        if (utf8[i] == '\'') {
            if (i + 1 < utf8.size() && utf8[i + 1] == '\'') out.push_back('\'');
            else continue;
            ++i;
            continue;
        }
        out.push_back(utf8[i]);
    }
    return out;
}

// What the locale puts between a short date and a time ("1/2/23, 3:04:05 PM"
// in American English). Qt's own date-time formats always join with a space,
// so the locale data comes from ICU.
std::string dateTimeSeparator(const QLocale& locale) {
    const icu::Locale icuLocale(locale.name().toStdString().c_str());
    std::unique_ptr<icu::DateFormat> both(
        icu::DateFormat::createDateTimeInstance(icu::DateFormat::kShort, icu::DateFormat::kMedium, icuLocale));
    std::unique_ptr<icu::DateFormat> date(icu::DateFormat::createDateInstance(icu::DateFormat::kShort, icuLocale));
    std::unique_ptr<icu::DateFormat> time(icu::DateFormat::createTimeInstance(icu::DateFormat::kMedium, icuLocale));
    auto* b = dynamic_cast<icu::SimpleDateFormat*>(both.get());
    auto* d = dynamic_cast<icu::SimpleDateFormat*>(date.get());
    auto* t = dynamic_cast<icu::SimpleDateFormat*>(time.get());
    if (!b || !d || !t) return " ";
    icu::UnicodeString bp, dp, tp;
    b->toPattern(bp);
    d->toPattern(dp);
    t->toPattern(tp);
    if (!bp.startsWith(dp) || !bp.endsWith(tp) || bp.length() < dp.length() + tp.length()) return " ";
    const std::string separator =
        unquoteIcuLiteral(icu::UnicodeString(bp, dp.length(), bp.length() - dp.length() - tp.length()));
    return separator.empty() ? std::string(" ") : separator;
}

void appendNumber(std::int64_t value, int width, std::string& out) {
    if (width >= 2 && value < 10) out.push_back('0');
    if (value >= 10) out.push_back(static_cast<char>('0' + value / 10));
    out.push_back(static_cast<char>('0' + value % 10));
}

}  // namespace

ExportDateFormatter::ExportDateFormatter(bool showTime, bool showRelative, std::int64_t nowNs, QLocale locale)
    : m_locale(std::move(locale)), m_showTime(showTime), m_showRelative(showRelative) {
    tzset();   // a changed TZ applies from this export on
    if (m_showTime) {
        m_separator = dateTimeSeparator(m_locale);
        m_timePattern = mediumTimePattern(m_locale);
        compileTimePattern(m_timePattern);
        m_am[1] = m_locale.amText().toUpper().toStdString();
        m_pm[1] = m_locale.pmText().toUpper().toStdString();
        m_am[0] = m_locale.amText().toLower().toStdString();
        m_pm[0] = m_locale.pmText().toLower().toStdString();
    }
    const std::int64_t now = platform::secondsOf(nowNs);
    m_today = floorDiv(now + localOffsetSeconds(now), kDaySeconds);
}

void ExportDateFormatter::compileTimePattern(const QString& pattern) {
    bool twelveHour = false;   // "h" counts to 12 only next to an AM/PM mark
    for (qsizetype i = 0; i < pattern.size();) {
        const QChar c = pattern.at(i);
        qsizetype run = 1;
        while (i + run < pattern.size() && pattern.at(i + run) == c) ++run;
        auto literal = [&](const QString& text) {
            if (!m_timeTokens.empty() && m_timeTokens.back().kind == Token::Literal)
                m_timeTokens.back().literal += text.toStdString();
            else
                m_timeTokens.push_back({Token::Literal, 1, text.toStdString()});
        };
        if (c == QLatin1Char('\'')) {
            const qsizetype close = pattern.indexOf(QLatin1Char('\''), i + 1);
            if (close == i + 1) { literal(QStringLiteral("'")); i += 2; continue; }
            if (close < 0) { literal(pattern.mid(i + 1)); break; }
            literal(pattern.mid(i + 1, close - i - 1));
            i = close + 1;
            continue;
        }
        if (c == QLatin1Char('h') || c == QLatin1Char('H')) {
            if (run > 2) { m_timeFallback = true; return; }
            m_timeTokens.push_back({c == QLatin1Char('h') ? Token::Hour12 : Token::Hour24, int(run), {}});
        } else if (c == QLatin1Char('m') || c == QLatin1Char('s')) {
            if (run > 2) { m_timeFallback = true; return; }
            m_timeTokens.push_back({c == QLatin1Char('m') ? Token::Minute : Token::Second, int(run), {}});
        } else if (c == QLatin1Char('a') || c == QLatin1Char('A')) {
            // "AP"/"A" upper case, "ap"/"a" lower case; mixed forms are left to Qt.
            qsizetype length = 1;
            if (i + 1 < pattern.size() && pattern.at(i + 1).toLower() == QLatin1Char('p')) {
                if (pattern.at(i + 1).isUpper() != c.isUpper()) { m_timeFallback = true; return; }
                length = 2;
            }
            twelveHour = true;
            m_timeTokens.push_back({Token::AmPm, c.isUpper() ? 1 : 0, {}});
            i += length;
            continue;
        } else if (c.isLetter()) {
            m_timeFallback = true;   // milliseconds or anything newer: Qt lays it out
            return;
        } else {
            literal(QString(run, c));
        }
        i += run;
    }
    if (!twelveHour)
        for (Token& token : m_timeTokens)
            if (token.kind == Token::Hour12) token.kind = Token::Hour24;
}

std::int64_t ExportDateFormatter::localOffsetSeconds(std::int64_t utcSeconds) {
    // Zones change their offset at most once a day: when both ends of a
    // day agree, the whole day has that offset.
    const std::int64_t day = floorDiv(utcSeconds, kDaySeconds);
    OffsetSlot& slot = m_offsets[static_cast<std::uint64_t>(day) % kOffsetSlots];
    if (slot.day == day) return slot.offset;
    const std::int64_t first = offsetAt(day * kDaySeconds);
    const std::int64_t last = offsetAt(day * kDaySeconds + kDaySeconds - 1);
    if (first != last) return offsetAt(utcSeconds);   // the day the clocks change
    slot.day = day;
    slot.offset = first;
    return first;
}

const std::string& ExportDateFormatter::dayText(std::int64_t localDay) {
    auto it = m_days.find(localDay);
    if (it != m_days.end()) return it->second;
    QString text;
    if (m_showRelative && localDay == m_today) text = Messages::text("relToday");
    else if (m_showRelative && localDay == m_today - 1) text = Messages::text("relYesterday");
    else if (m_showRelative && localDay == m_today + 1) text = Messages::text("relTomorrow");
    else text = m_locale.toString(QDate::fromJulianDay(localDay + kJulianDayOfEpoch), QLocale::ShortFormat);
    return m_days.emplace(localDay, text.toStdString()).first->second;
}

void ExportDateFormatter::appendTime(std::int64_t secondsOfDay, std::string& out) {
    const std::int64_t hour = secondsOfDay / 3600, minute = secondsOfDay / 60 % 60, second = secondsOfDay % 60;
    if (m_timeFallback) {
        out += m_locale.toString(QTime(int(hour), int(minute), int(second)), m_timePattern).toStdString();
        return;
    }
    for (const Token& token : m_timeTokens) {
        switch (token.kind) {
        case Token::Literal: out += token.literal; break;
        case Token::Hour12: appendNumber(hour % 12 == 0 ? 12 : hour % 12, token.width, out); break;
        case Token::Hour24: appendNumber(hour, token.width, out); break;
        case Token::Minute: appendNumber(minute, token.width, out); break;
        case Token::Second: appendNumber(second, token.width, out); break;
        case Token::AmPm: out += hour < 12 ? m_am[token.width] : m_pm[token.width]; break;
        }
    }
}

void ExportDateFormatter::appendUtf8(std::int64_t dateNs, std::string& out) {
    if (dateNs == platform::kNoTime) return;
    const std::int64_t utc = platform::secondsOf(dateNs);
    const std::int64_t local = utc + localOffsetSeconds(utc);
    const std::int64_t day = floorDiv(local, kDaySeconds);
    out += dayText(day);
    if (!m_showTime) return;
    out += m_separator;
    appendTime(local - day * kDaySeconds, out);
}

QString ExportDateFormatter::text(std::int64_t dateNs) {
    std::string out;
    appendUtf8(dateNs, out);
    return QString::fromStdString(out);
}

}  // namespace qv
