#include "ui/FileLinesModel.h"

#include "base/Messages.h"

namespace qv {

qsizetype FileLinesModel::columnsOf(QStringView text) {
    qsizetype columns = 0;
    for (const QChar c : text) columns = c == u'\t' ? (columns / kTabWidth + 1) * kTabWidth : columns + 1;
    return columns;
}

QString FileLinesModel::expandTabs(const QString& text, std::vector<MarkRun>* marks) {
    if (!text.contains(u'\t')) return text;
    QString out;
    std::vector<qsizetype> at(std::size_t(text.size()) + 1);   // where each character lands
    for (qsizetype i = 0; i < text.size(); ++i) {
        at[std::size_t(i)] = out.size();
        if (text[i] == u'\t') out += QString(kTabWidth - out.size() % kTabWidth, u' ');
        else out += text[i];
    }
    at[std::size_t(text.size())] = out.size();
    if (marks)
        for (MarkRun& m : *marks) {
            const qsizetype begin = at[std::size_t(std::min(m.start, text.size()))];
            const qsizetype end = at[std::size_t(std::min(m.start + m.length, text.size()))];
            m.start = begin;
            m.length = end - begin;
        }
    return out;
}

QString FileLinesModel::rowText(int row, int side) const {
    QString text;
    Line line;
    for (int k = 0; k < linesInRow(row); ++k) {
        lineAt(row, side, k, line);
        if (k) text += u'\n';
        text += line.text;
    }
    return text;
}

QString FileLinesModel::accessibleText(int row, int side) const {
    QStringList parts;
    Line line;
    const int sides = rowSides(row);
    for (int k = 0; k < linesInRow(row); ++k) {
        lineAt(row, side, k, line);
        if (line.filler) {
            parts << Messages::text("fcA11yNoLine");
            continue;
        }
        const char* key = sides == 0 ? "fcA11yLine" : sides == 12 ? "fcA11yChangedLine" : "fcA11yOneSidedLine";
        const QString number = line.number > 0 ? QString::number(line.number) : QString();
        parts << Messages::format(key, number, line.text);
    }
    return parts.join(QStringLiteral("; "));
}

QVariant FileLinesModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const int row = index.row();
    if (role == SidesRole) return rowSides(row);
    if (index.column() == Gutter) {
        const int sides = rowSides(row);
        if (role == Qt::DisplayRole)
            return sides == 0 ? QString() : sides == 12 ? QStringLiteral("≠") : sides == 4 ? QStringLiteral("−") : QStringLiteral("+");
        if (role == Qt::AccessibleTextRole)
            return sides == 0 ? QString() : Messages::text(sides == 12 ? "fcA11yChange" : sides == 4 ? "fcA11yLeftOnly" : "fcA11yRightOnly");
        return {};
    }
    const int side = index.column() == Left ? 0 : 1;
    if (role == Qt::DisplayRole) return rowText(row, side);
    if (role == Qt::AccessibleTextRole) return accessibleText(row, side);
    return {};
}

Qt::ItemFlags FileLinesModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

}  // namespace qv
