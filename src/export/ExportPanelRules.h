#pragma once
// How the export options follow one another when the options panel sets
// them: a destination sets the delimiter, grouping and prefix that suit it,
// the tab switch replaces the delimiter, and so on. Each function writes the
// settings the panel's controls show.

#include <QString>

#include <cstdint>

namespace qv {

class KItem;
class Settings;

class ExportPanelRules {
public:
    // From this many estimated lines on, an export shows its progress with an Abort button.
    static constexpr std::uint64_t kProgressAlertLines = 10001;

    // The destination a delimiter stands for: 1 for ";", 2 for ",", else 0.
    static int destinationForDelimiter(const QString& delimiter);
    // A field that keeps one character: the first one; `cut` tells whether more was given.
    static QString oneCharacter(const QString& text, bool* cut = nullptr);

    // A new delimiter typed into its field; the destination follows it. An
    // emptied field stores nothing (a delimiter is one character): the
    // export waits until one is typed.
    static void setDelimiter(Settings& settings, const QString& text);
    // Destination 1 (a spreadsheet: ";" and grouped sizes with a prefix),
    // 2 (plain CSV: "," and nothing else); 0 changes nothing.
    static void OptimizedFor(Settings& settings, int destination);
    // The tab switch: on, the delimiter is a tab; off, the destination's
    // delimiter again. Without a destination there is none to go back to:
    // false, and the delimiter field is to be typed into first.
    static bool setTabDelimiter(Settings& settings, bool on);
    // The switch for sizes without grouping.
    static void setNoGrouping(Settings& settings, bool on);
    // Whether the export can start: it needs the tab or a delimiter in its field.
    static bool canExport(const Settings& settings, const QString& delimiterField);

    // How many lines an export of `parent` writes, roughly: with every item,
    // its left files and right folders; else twice the rows the view shows.
    static std::uint64_t estimatedLines(const KItem& parent, bool exportAll, std::uint64_t viewRows);
};

}  // namespace qv
