#pragma once
// The menu of the pair history: one title per remembered pair, shortened to
// the setting "maxLenPath" and aligned, with a multi-folder set shown by the
// names of its members and a locked entry marked.

#include "app/history/FolderHistory.h"

#include <QString>

#include <optional>
#include <vector>

namespace qv {

class Settings;

struct HistoryMenuTitle {
    QString left, right;   // the two parts as shown (shortened and padded when asked)
    QString text;          // "left • right"
    int leftLength = 0;    // characters of the left part
    bool locked = false;   // the "•" is drawn in the error colour
};

// Pads the shorter of two texts with spaces: the left text at its start, the right text at its end.
void MakeEqualLengthInText1(QString& text1, QString& text2);

// The title of one entry; nothing for an entry that cannot be used (an
// empty left path, or a set of folders that no longer exists). With
// `sameLength` a path longer than twice `maxLenPath` characters keeps its
// first and last `maxLenPath` characters around "…", and both parts are
// padded to one length.
std::optional<HistoryMenuTitle> HistoryAttrStringForItem(const HistoryPair& entry, bool folders, bool sameLength,
                                                         int maxLenPath);

struct HistoryMenuItem {
    HistoryPair entry;
    HistoryMenuTitle title;
};

// The items of the folder (or file) history menu in list order, titled
// with shortening and alignment. Entries that give no title are dropped
// from the stored list.
std::vector<HistoryMenuItem> FolderHistoryMenu(Settings& settings, bool folders);

}  // namespace qv
