#pragma once
// Editing the tags of entries by hand: their names as one text joined with
// ";" ("Work;Red"), the seven colour tags a user switches on and off, and
// the edited names written back to every entry.

#include <QString>
#include <QStringList>

#include <array>
#include <string>
#include <vector>

namespace qv {

inline constexpr int kTagColourCount = 7;

// Why the tags of one entry could not be written: its path and the errno.
struct TagWriteFailure {
    std::string path;
    int error = 0;
};

class TagEditor {
public:
    // "Red", "Orange", "Yellow", "Green", "Blue", "Purple", "Gray", in button order.
    static const QStringList& colourNames();
    // The position of a colour tag in that list, the name compared without
    // regard to letter case; -1 for any other name.
    static int colourIndex(const QString& name);

    // The tag names of the entries, one after the other, joined with ";"
    // (a name several entries carry is listed once for each).
    static QString gatheredText(const std::vector<std::string>& paths);
    // The names a text stands for: split at ";", trimmed, empty parts and
    // repeats left out, in order.
    static QStringList tagsFromText(const QString& text);

    // Which colour buttons are on for a text, as it is typed: a part, not
    // trimmed, that is a colour's name in any letter case.
    static std::array<bool, kTagColourCount> coloursIn(const QString& text);
    // The text after colour `index` was switched on (its name appended when
    // no part names it) or off (the first part naming it removed).
    static QString withColour(const QString& text, int index, bool on);

    // A name the tag attribute cannot hold (a comma separates the names
    // there), or "" when every name fits.
    static QString unstorableName(const QStringList& tags);
    // Gives every entry exactly these tags (none removes them all); the
    // entries that refused, with the reason.
    static std::vector<TagWriteFailure> SaveTags(const std::vector<std::string>& paths, const QStringList& tags);
    // What a failure means for the user: a file system without tags, a
    // symbolic link (it carries none of its own), or the system's words.
    static QString failureText(const TagWriteFailure& failure);
};

}  // namespace qv
