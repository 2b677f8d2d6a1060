#include "export/KSizeFormatter.h"

#include "base/Settings.h"

#include <cmath>

namespace qv {

KSizeFormatter::KSizeFormatter(bool inBytes, const QString& grouping, QLocale locale)
    : iInBytes(inBytes), iBcf(std::move(locale)) {
    if (!grouping.isEmpty()) {
        const int length = grouping.at(0).isHighSurrogate() && grouping.size() > 1 ? 2 : 1;
        iGroupingUtf8 = grouping.left(length).toStdString();
    }
}

KSizeFormatter KSizeFormatter::fromSettings(const Settings& settings) {
    const bool grouped = !settings.boolValue(QStringLiteral("noneThousandsDelimiter"));
    return KSizeFormatter(settings.boolValue(QStringLiteral("expSizeInBytes")),
                          grouped ? settings.stringValue(QStringLiteral("thousandsDelimiter")) : QString());
}

QString KSizeFormatter::StringFromNumber(qint64 number) const {
    std::string text;
    appendUtf8(number, text);
    return QString::fromStdString(text);
}

void KSizeFormatter::appendUtf8(qint64 number, std::string& out) const {
    if (!iInBytes) {
        appendByteCount(number, out);
        return;
    }
    char digits[24];
    int count = 0;
    // Through the unsigned value so that the most negative number has a magnitude too.
    unsigned long long magnitude = number < 0 ? 0ULL - static_cast<unsigned long long>(number)
                                              : static_cast<unsigned long long>(number);
    do {
        digits[count++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (number < 0) out.push_back('-');
    for (int i = count - 1; i >= 0; --i) {
        out.push_back(digits[i]);
        if (i > 0 && i % 3 == 0 && !iGroupingUtf8.empty()) out.append(iGroupingUtf8);
    }
}

void KSizeFormatter::appendByteCount(qint64 number, std::string& out) const {
    // One fraction digit, rounded the way it is shown: 999,960 bytes reads
    // "1 MB" rather than "1,000 kB".
    qint64 shown = number;
    const double magnitude = std::fabs(static_cast<double>(number));
    if (magnitude >= 1000) {
        int power = static_cast<int>(std::floor(std::log10(magnitude) / 3));
        const double unit = std::pow(1000.0, power);
        if (std::round(magnitude / unit * 10) >= 10000 && power < 6)
            shown = static_cast<qint64>(std::pow(1000.0, power + 1)) * (number < 0 ? -1 : 1);
    }
    QString text = iBcf.formattedDataSize(shown, 1, QLocale::DataSizeSIFormat);
    // A fraction of zero is left out: "1 kB", not "1.0 kB".
    const QString point = iBcf.decimalPoint();
    const qsizetype at = text.indexOf(point);
    if (at >= 0) {
        qsizetype end = at + point.size();
        while (end < text.size() && text.at(end) == QLatin1Char('0')) ++end;
        if (end == text.size() || !text.at(end).isDigit()) text.remove(at, end - at);
    }
    out.append(text.toStdString());
}

}  // namespace qv
