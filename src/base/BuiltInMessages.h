#pragma once
// The English texts, compiled into the program from resources/messages/en.json
// when it is built, sorted by key. Every command looks a text up as it
// starts: reading and parsing the table then took about half a millisecond.

#include <span>
#include <string_view>

namespace qv {

struct BuiltInMessage {
    std::string_view key, text;   // the text in UTF-8
};

// Sorted by key, each key once (the file's last text for a key given twice).
extern const std::span<const BuiltInMessage> kBuiltInMessages;

}  // namespace qv
