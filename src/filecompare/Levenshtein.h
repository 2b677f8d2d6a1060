#pragma once
// Edit distances between lines and words, used to pair similar lines inside
// a changed block. Distances are floats because a line's distance is an
// average over its words.

#include <QStringView>

namespace qv::Levenshtein {

// Distance of line `a` against line `b`: for every component of `a` the
// smallest word distance to a component of `b`, averaged. A line without
// components costs the other line's length × 1000.
float compareWithString(QStringView a, QStringView b);

// Edit distance of two words after trimming white space; 0 when either is empty.
float compareWithWord(QStringView a, QStringView b);

int smallestOf(int a, int b, int c);

}  // namespace qv::Levenshtein
