#pragma once
#include <QString>

namespace qv {

// A comparison state in words, from the message table.
QString stateWords(int state);

}  // namespace qv
