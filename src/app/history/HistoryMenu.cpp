#include "app/history/HistoryMenu.h"

#include "app/history/MultiFolderSets.h"
#include "base/Settings.h"

namespace qv {
namespace {

const QChar kEllipsis(0x2026);
const QChar kBlank(0x2800);   // keeps the padding of the right part from being trimmed
const QString kSeparator = QStringLiteral("\u2022");

QString withoutTrailingSlash(QString path) {
    if (path.size() > 1 && path.endsWith('/')) path.chop(1);
    return path;
}

QString shortened(const QString& path, int maxLen) {
    if (maxLen <= 0 || path.size() <= 2 * maxLen) return path;
    return path.left(maxLen) + kEllipsis + path.right(maxLen);
}

}  // namespace

void MakeEqualLengthInText1(QString& text1, QString& text2) {
    if (text1.size() < text2.size()) text1 = QString(text2.size() - text1.size(), ' ') + text1;
    else if (text2.size() < text1.size()) text2 += QString(text1.size() - text2.size(), ' ');
}

std::optional<HistoryMenuTitle> HistoryAttrStringForItem(const HistoryPair& entry, bool folders, bool sameLength,
                                                         int maxLenPath) {
    QString left = withoutTrailingSlash(entry.l), right = withoutTrailingSlash(entry.r);
    if (left.isEmpty()) return std::nullopt;
    if (folders) {
        for (QString* side : {&left, &right}) {
            if (!MultiFolderSets::isSet(*side)) continue;
            *side = MultiFolderSets::MultiFolderName(*side);
            if (side->isEmpty()) return std::nullopt;
        }
    }
    if (sameLength) {
        left = shortened(left, maxLenPath);
        right = shortened(right, maxLenPath);
        MakeEqualLengthInText1(left, right);
        right += kBlank;
    }
    HistoryMenuTitle title;
    title.left = left;
    title.right = right;
    title.text = left + ' ' + kSeparator + ' ' + right;
    title.leftLength = static_cast<int>(left.size());
    title.locked = entry.locked;
    return title;
}

std::vector<HistoryMenuItem> FolderHistoryMenu(Settings& settings, bool folders) {
    FolderHistory history(settings, folders);
    const int maxLen = static_cast<int>(settings.intValue(QStringLiteral("maxLenPath")));
    std::vector<HistoryMenuItem> items;
    std::vector<HistoryPair> kept;
    const std::vector<HistoryPair> pairs = history.pairs();
    for (const HistoryPair& pair : pairs) {
        if (auto title = HistoryAttrStringForItem(pair, folders, true, maxLen)) {
            items.push_back({pair, *title});
            kept.push_back(pair);
        }
    }
    if (kept.size() != pairs.size()) history.store(kept);
    return items;
}

}  // namespace qv
