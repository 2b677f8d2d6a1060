#pragma once
// Names as plain output writes them. A name that holds a control character
// (a newline, a tab, an escape) or bytes that are not UTF-8 would break a
// line or show as something else: it is written in the shell's $'…' form,
// as `ls` does, so that every entry stays on one line and can be pasted back.

#include <string>
#include <string_view>

namespace qv {

// The name unchanged when it is printable UTF-8, else its $'…' form.
std::string quotedName(std::string_view bytes);

}  // namespace qv
