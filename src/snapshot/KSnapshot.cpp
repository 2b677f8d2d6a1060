#include "snapshot/KSnapshot.h"

#include "base/InputLimits.h"
#include "platform/FileTime.h"
#include "snapshot/SnapshotJsonReader.h"
#include "snapshot/lzfse/Lzfse.h"

#include <QLoggingCategory>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <optional>

namespace qv {

KSnapshot::KSnapshot() = default;
KSnapshot::~KSnapshot() = default;

KSnapURL* KSnapshot::newEntry() { return &m_entries.emplace_back(); }

std::int32_t KSnapshot::typeIndex(std::string_view type) {
    for (std::size_t i = 0; i < m_types.size(); ++i)
        if (m_types[i] == type) return static_cast<std::int32_t>(i);
    m_types.emplace_back(type);
    return static_cast<std::int32_t>(m_types.size() - 1);
}

std::string_view KSnapshot::keepName(std::string_view name) {
    constexpr std::size_t kChunk = 256 * 1024;
    if (name.empty()) return {};
    if (m_nameChunks.empty() || m_nameUsed + name.size() > kChunk) {
        m_nameChunks.emplace_back(new char[std::max(kChunk, name.size())]);
        m_nameUsed = 0;
    }
    char* dest = m_nameChunks.back().get() + m_nameUsed;
    std::memcpy(dest, name.data(), name.size());
    m_nameUsed += name.size();
    return {dest, name.size()};
}

void KSnapshot::setRoot(KSnapURL* root, std::string recordedPath, bool hasMD5, std::int64_t date) {
    for (KSnapURL& entry : m_entries) entry.indexChildren();
    m_root = root;
    m_recordedPath = std::move(recordedPath);
    m_hasMD5 = hasMD5;
    m_date = date;
}

// The technical detail of a refused snapshot, shown when QT_LOGGING_RULES asks
// for "quorvane.snapshot.info": a user sees the reason, a developer both.
Q_LOGGING_CATEGORY(snapshotLog, "quorvane.snapshot", QtWarningMsg)

bool snapshotFailure(std::string* error, const char* reasonKey, const std::string& detail) {
    qCInfo(snapshotLog, "Snapshot not read: %s", detail.c_str());
    if (error) *error = reasonKey;
    return false;
}

namespace {

// The compressed bytes of a snapshot file, read only when it is a regular file of a sane size.
bool readSnapshotFile(const std::string& file, std::string& bytes, std::string* error) {
    const platform::InputStatus status = platform::readInputFile(file, kSnapshotFileLimit, bytes);
    switch (status.problem) {
    case platform::InputProblem::None: return true;
    case platform::InputProblem::NotRegularFile: return snapshotFailure(error, "snapErrNotRegular", file);
    case platform::InputProblem::TooLarge: return snapshotFailure(error, "snapErrTooLarge", file);
    case platform::InputProblem::CannotOpen:
    case platform::InputProblem::ReadFailed: break;
    }
    return snapshotFailure(error, "snapErrOpen", file + ": " + std::strerror(status.error));
}

std::span<const std::uint8_t> asBytes(const std::string& s) {
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

}  // namespace

bool KSnapshot::extractJson(const std::string& file, std::vector<std::uint8_t>& json, std::string* error) {
    std::string bytes;
    if (!readSnapshotFile(file, bytes, error)) return false;
    std::string detail;
    if (!lzfse::decode(asBytes(bytes), json, &detail)) return snapshotFailure(error, "snapErrDamaged", detail);
    return true;
}

bool KSnapshot::ReadSnapshot(const std::string& file, std::string* error) {
    std::string bytes;
    if (!readSnapshotFile(file, bytes, error)) return false;
    m_entries.clear();
    m_types.clear();
    m_nameChunks.clear();
    m_root = nullptr;
    // The tree is built as the text is decoded: the text is never whole in memory.
    lzfse::StreamDecoder decoder(asBytes(bytes));
    return SnapshotJsonReader(*this).read(decoder, error);
}

bool KSnapshot::readJson(std::string_view json, std::string* error) {
    m_entries.clear();
    m_types.clear();
    m_nameChunks.clear();
    m_root = nullptr;
    return SnapshotJsonReader(*this).read(json, error);
}

KSnapURL* KSnapshot::entryAt(std::string_view path) const {
    if (!m_root) return nullptr;
    std::string_view rootPath = m_recordedPath;
    if (path.substr(0, rootPath.size()) != rootPath) return nullptr;
    std::string_view rest = path.substr(rootPath.size());
    if (!rest.empty() && rest.front() != '/' && rootPath != "/") return nullptr;
    KSnapURL* entry = m_root;
    while (entry && !rest.empty()) {
        while (!rest.empty() && rest.front() == '/') rest.remove_prefix(1);
        if (rest.empty()) break;
        const std::size_t slash = rest.find('/');
        entry = entry->child(rest.substr(0, slash));
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash);
    }
    return entry;
}

namespace {

// The proleptic Gregorian date of a day counted from 1970-01-01, by eras of
// 400 years counted from March (so that a leap day ends its year).
void civilFromDays(std::int64_t days, std::int64_t& year, unsigned& month, unsigned& day) {
    days += 719468;   // from 0000-03-01
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const auto dayOfEra = static_cast<unsigned>(days - era * 146097);
    const unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned marchMonth = (5 * dayOfYear + 2) / 153;
    day = dayOfYear - (153 * marchMonth + 2) / 5 + 1;
    month = marchMonth < 10 ? marchMonth + 3 : marchMonth - 9;
    year = static_cast<std::int64_t>(yearOfEra) + era * 400 + (month <= 2);
}

}  // namespace

bool appendIsoDate(std::string& out, std::int64_t time) {
    const std::int64_t seconds = platform::secondsOf(time);
    std::int64_t days = seconds / 86400, secondOfDay = seconds % 86400;
    if (secondOfDay < 0) {
        secondOfDay += 86400;
        --days;
    }
    std::int64_t year = 0;
    unsigned month = 0, day = 0;
    civilFromDays(days, year, month, day);
    if (year >= 0 && year <= 9999) {
        // Written by hand: a snapshot holds three dates per entry, and a
        // formatted print (or gmtime, which takes the time zone lock) of each
        // was a tenth of the time of recording.
        char text[] = "0000-00-00T00:00:00Z";
        auto put = [&text](int at, std::int64_t value, int digits) {
            for (int i = digits - 1; i >= 0; --i, value /= 10) text[at + i] = static_cast<char>('0' + value % 10);
        };
        put(0, year, 4);
        put(5, month, 2);
        put(8, day, 2);
        put(11, secondOfDay / 3600, 2);
        put(14, secondOfDay / 60 % 60, 2);
        put(17, secondOfDay % 60, 2);
        out.append(text, sizeof text - 1);
        return true;
    }
    const std::time_t t = static_cast<std::time_t>(seconds);
    struct tm utc;
    if (!gmtime_r(&t, &utc)) return false;   // beyond any year the calendar can name
    char buffer[64];
    // Years past 9999 (or before 0) take the expanded form with a sign.
    std::snprintf(buffer, sizeof buffer, "%+05lld-%02d-%02dT%02d:%02d:%02dZ", static_cast<long long>(utc.tm_year) + 1900,
                  utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec);
    out += buffer;
    return true;
}

std::string isoDate(std::int64_t time) {
    std::string text;
    appendIsoDate(text, time);
    return text;
}

namespace {

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
std::int64_t daysFromCivil(std::int64_t year, unsigned month, unsigned day) {
    year -= month <= 2;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const unsigned yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<std::int64_t>(dayOfEra) - 719468;
}

// The form every recorder writes, "YYYY-MM-DDTHH:MM:SS" with fields in range,
// read without a formatted scan (three per entry of every snapshot read).
std::optional<std::int64_t> parsePlainIsoDate(std::string_view s) {
    if (s.size() < 19 || s[4] != '-' || s[7] != '-' || s[10] != 'T' || s[13] != ':' || s[16] != ':') return std::nullopt;
    auto number = [&s](std::size_t at, std::size_t digits) -> int {
        int value = 0;
        for (std::size_t i = at; i < at + digits; ++i) {
            if (s[i] < '0' || s[i] > '9') return -1;
            value = value * 10 + (s[i] - '0');
        }
        return value;
    };
    const int year = number(0, 4), month = number(5, 2), day = number(8, 2);
    const int hour = number(11, 2), minute = number(14, 2), second = number(17, 2);
    static const int kMonthDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
    if (year < 0 || month < 1 || month > 12 || hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 ||
        second > 59 || day < 1 || day > kMonthDays[month - 1] + (month == 2 && leap))
        return std::nullopt;   // anything out of range takes the general path, which normalises it
    const std::int64_t days = daysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day));
    return platform::timeFromSeconds(days * 86400 + hour * 3600 + minute * 60 + second);
}

}  // namespace

std::int64_t parseIsoDate(std::string_view text) {
    if (const auto plain = parsePlainIsoDate(text)) return *plain;
    long long year = 0;
    int month = 0, day = 0, hour = 0, minute = 0, second = 0, consumed = 0;
    const std::string s(text);
    if (std::sscanf(s.c_str(), "%lld-%2d-%2dT%2d:%2d:%2d%n", &year, &month, &day, &hour, &minute, &second,
                    &consumed) != 6)
        return kNoRecordedDate;
    if (year - 1900 < INT_MIN || year - 1900 > INT_MAX) return kNoRecordedDate;
    struct tm utc {};
    utc.tm_year = static_cast<int>(year - 1900);
    utc.tm_mon = month - 1;
    utc.tm_mday = day;
    utc.tm_hour = hour;
    utc.tm_min = minute;
    utc.tm_sec = second;
    return platform::timeFromSeconds(static_cast<std::int64_t>(timegm(&utc)));
}

}  // namespace qv
