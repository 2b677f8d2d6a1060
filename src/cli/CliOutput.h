#pragma once
#include <QString>

#include <functional>

namespace qv {

// Prints "quorvane: MESSAGE" on stderr, a terminal's status line cleared first.
void printError(const QString& message);
// The same, returning the exit status 2.
int failLine(const QString& message);

// Runs a command and returns its status; an exception that escapes it is
// printed like any other failure and gives 2, never an abort.
int runCatchingExceptions(const std::function<int()>& command);

}  // namespace qv
