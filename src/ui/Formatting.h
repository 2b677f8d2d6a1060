#pragma once
// How the window writes sizes and dates: the user's locale, decimal units
// (or plain bytes when the setting "sizeInBytes" is on).

#include <QString>

#include <cstdint>

namespace qv {

QString formatSize(std::int64_t bytes);
// A size for a detail line: "15 bytes", or "1.2 kB (1,234 bytes)" from 1000 bytes on.
QString formatByteCount(std::int64_t bytes);
// A time in nanoseconds since the epoch in the locale's short form; "" when unknown.
QString formatDate(std::int64_t ns);

}  // namespace qv
