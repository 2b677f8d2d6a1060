#pragma once
// The one status line the command redraws in place on a terminal's stderr
// (scan progress, copy progress). Anything else printed while it stands
// must clear it first, or the message runs into the leftover text.

#include <QString>

namespace qv {

class TerminalLine {
public:
    // Whether stderr is a terminal, so that a status line may be drawn.
    static bool enabled();
    // Redraws the line with `text` (nothing when stderr is not a terminal).
    static void draw(const QString& text);
    // Removes the line when one stands; the cursor is left at its start.
    static void clear();
};

}  // namespace qv
