#pragma once
// How the file view colours what differs: the added and changed colours
// chosen in the settings, laid over the palette's own colours so that a
// light and a dark theme both read well, and the view's font.

#include <QColor>
#include <QFont>
#include <QPalette>

namespace qv {

class Settings;

struct DiffAppearance {
    QColor added;          // lines and words only on one side
    QColor changed;        // words that differ
    bool marksBackground = true;   // marks colour the background ("fcInvertColors"), else the text
    bool rowBackground = true;     // rows of changes get a tint ("fcHighBcg")
    QColor text, lineNumber, filler, highlight, highlightedText;

    static DiffAppearance from(const Settings& settings, const QPalette& palette);
    // The tint of a whole row of a change.
    QColor rowTint(int sides) const;

    // The view's font ("fcFont"), a fixed-pitch one when the stored one cannot be read.
    static QFont font(const Settings& settings);
};

}  // namespace qv
