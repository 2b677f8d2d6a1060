#pragma once
// How a comparison state and a marked action look and read: a short glyph,
// a colour taken from the palette (so light and dark themes both read well),
// the icon of an entry, and the action in words for tooltips and screen readers.

#include <QBrush>
#include <QIcon>
#include <QPalette>
#include <QString>

namespace qv {

// The colour a state's names are drawn in: the palette's text colour for
// equal rows, a tone of red, blue, green or orange for the others, chosen
// for the palette's lightness.
QColor stateColor(int state, const QPalette& palette);
QBrush stateBrush(int state, const QPalette& palette);
// One or two characters that stand for the state in the state column.
QString stateGlyph(int state);
// What the status header's colour means: equal, different or neither.
enum class Verdict { Neutral, Equal, Different };
QColor verdictColor(Verdict verdict, const QPalette& palette);

// The theme's icon for a folder, a file or a symbolic link.
QIcon entryIcon(bool folder, bool link);

// The marked action in words ("copy to the right") and as an arrow drawn on
// the side it starts from (`side` 1 or 2; "" when the action does not start there).
QString actionWords(int action);
QString actionGlyph(int action, int side);

}  // namespace qv
