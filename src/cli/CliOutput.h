#pragma once
#include <QString>

namespace qv {

// Prints "quorvane: MESSAGE" on stderr and returns the exit status 2.
int failLine(const QString& message);

}  // namespace qv
