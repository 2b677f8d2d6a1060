#pragma once
// The small rules of one export line that do not depend on the file being
// written: the mark of a comparison state and how a field is made safe for
// a spreadsheet. All text here is UTF-8.

#include <string>
#include <string_view>

namespace qv {

class KItem;

// The mark of the state column. `cmpContents` is the run's content
// comparison option: with it, dates alone do not make two files differ.
const char* stateMark(const KItem& item, bool cmpContents);

// True when a field holding `text` must be wrapped in double quotes to
// survive a reader splitting on `delimiter` (empty: no delimiter).
bool fieldNeedsQuotes(std::string_view text, std::string_view delimiter);

// Appends `text` as one field: wrapped in double quotes with inner quotes
// doubled when it needs quotes or `forceQuotes` is set, unchanged otherwise.
void appendField(std::string& out, std::string_view text, std::string_view delimiter, bool forceQuotes = false);

// Appends a name field: `leading` (indent, prefix, marker) then `name`.
// A name that would open the field with a character a spreadsheet takes as
// the start of a formula gets an apostrophe in front of it.
void appendNameField(std::string& out, std::string_view leading, std::string_view name,
                     std::string_view delimiter, bool forceQuotes);

}  // namespace qv
