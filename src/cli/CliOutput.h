#pragma once
#include <QString>

namespace qv {

// Prints "quorvane: MESSAGE" on stderr, a terminal's status line cleared first.
void printError(const QString& message);
// The same, returning the exit status 2.
int failLine(const QString& message);

}  // namespace qv
