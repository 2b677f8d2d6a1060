#include "app/ComparisonStatus.h"

#include "base/Messages.h"

#include <QLocale>

namespace qv {
namespace {

// Part of a number as a locale writes it: digits, and the separators between them.
bool continuesNumber(const QString& text, qsizetype i) {
    const QChar c = text[i];
    if (c.isDigit()) return true;
    const bool separator = c == '.' || c == ',' || c == '\'' || c.isSpace();
    return separator && i > 0 && i + 1 < text.size() && text[i - 1].isDigit() && text[i + 1].isDigit();
}

// "1.5 MB" as "1.5" (a number) and " MB".
void appendWithNumbersMarked(std::vector<ComparisonStatus::Segment>& out, const QString& text, bool differs) {
    qsizetype start = 0;
    while (start < text.size()) {
        const bool number = continuesNumber(text, start);
        qsizetype end = start + 1;
        while (end < text.size() && continuesNumber(text, end) == number) ++end;
        out.push_back({text.mid(start, end - start), number, number && differs});
        start = end;
    }
}

}  // namespace

QString ComparisonStatus::Line::text() const {
    QString all;
    for (const Segment& s : segments) all += s.text;
    return all;
}

ComparisonStatus::Line ComparisonStatus::totalsLine(const QString& bytes, std::uint64_t files, std::uint64_t folders,
                                                    const bool differs[3], bool filterMark) {
    const QLocale locale;
    Line line;
    appendWithNumbersMarked(line.segments, bytes, differs[0]);
    line.segments.push_back({QStringLiteral(", ")});
    line.segments.push_back({locale.toString(static_cast<qulonglong>(files)), true, differs[1]});
    line.segments.push_back({Messages::pluralText("statusFiles", static_cast<qint64>(files))});
    line.segments.push_back({locale.toString(static_cast<qulonglong>(folders)), true, differs[2]});
    line.segments.push_back({Messages::pluralText("statusFolders", static_cast<qint64>(folders))});
    if (filterMark) line.segments.push_back({QStringLiteral(" \u24D8")});
    return line;
}

void ComparisonStatus::setHeader(const QString& text, Role role, const QString& tooltip) {
    if (text == m_header && role == m_role && tooltip == m_headerTooltip) return;
    m_header = text;
    m_role = role;
    m_headerTooltip = tooltip;
    emit headerChanged();
}

void ComparisonStatus::setLines(const Line& left, const Line& right, bool actionSummary) {
    if (left == m_left && right == m_right && actionSummary == m_actionSummary) return;
    m_left = left;
    m_right = right;
    m_actionSummary = actionSummary;
    emit messagesChanged();
}

void ComparisonStatus::setPlainLines(const QString& left, const QString& right) {
    Line l, r;
    if (!left.isEmpty()) l.segments.push_back({left});
    if (!right.isEmpty()) r.segments.push_back({right});
    setLines(l, r);
}

void ComparisonStatus::setProgress(bool visible, bool indeterminate, double value) {
    if (visible == m_progressVisible && indeterminate == m_progressIndeterminate && value == m_progressValue) return;
    m_progressVisible = visible;
    m_progressIndeterminate = indeterminate;
    m_progressValue = value;
    emit progressChanged();
}

void ComparisonStatus::setProcessed(std::uint64_t processed) {
    if (processed == m_processed) return;
    m_processed = processed;
    emit progressChanged();
}

void ComparisonStatus::setBadge(const QString& badge) {
    if (badge == m_badge) return;
    m_badge = badge;
    emit badgeChanged();
}

void ComparisonStatus::setButtons(const Buttons& buttons) {
    if (buttons == m_buttons) return;
    m_buttons = buttons;
    emit buttonsChanged();
}

}  // namespace qv
