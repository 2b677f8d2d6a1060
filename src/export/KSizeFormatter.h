#pragma once
// Byte sizes as the export writes them: a grouped number of bytes, or a
// short count with a unit ("1.2 MB") in the user's language.

#include <QLocale>
#include <QString>

#include <string>

namespace qv {

class Settings;

class KSizeFormatter {
public:
    // `grouping` is the character put between groups of three digits; empty
    // writes the digits ungrouped. Only its first character counts.
    KSizeFormatter(bool inBytes, const QString& grouping, QLocale locale = QLocale());
    static KSizeFormatter fromSettings(const Settings& settings);

    QString StringFromNumber(qint64 number) const;
    // The same text, appended as UTF-8 (the export's hot path).
    void appendUtf8(qint64 number, std::string& out) const;

    bool iInBytes;

private:
    void appendByteCount(qint64 number, std::string& out) const;

    std::string iGroupingUtf8;   // stands in for a number formatter: its only option
    QLocale iBcf;                // the locale of the byte-count texts
};

}  // namespace qv
