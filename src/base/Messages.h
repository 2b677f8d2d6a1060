#pragma once
// The table of user-visible texts, looked up by key. One table per language
// is built into the program; English is complete and is the fallback.

#include <QString>

#include <type_traits>

namespace qv {

class Messages {
public:
    // The text for `key` in the user's language, the English text when the
    // language lacks it, and the key itself when no table has it.
    static QString text(const char* key);

    // The text used as a format: its %1, %2 … are replaced by the arguments
    // in one pass, so an argument that itself holds "%2" stays as it is.
    template <class... Args>
    static QString format(const char* key, const Args&... args) {
        return text(key).arg(asText(args)...);
    }

    // A count in words: the text of "KEY.one", "KEY.other" (or the other
    // plural forms of the user's language) chosen by the language's plural
    // rules for `count`, its %1 replaced by the count with digit grouping.
    static QString plural(const char* key, qint64 count);
    // The form alone, unformatted, for a count shown apart from its words.
    static QString pluralText(const char* key, qint64 count);

    // Number of distinct %n placeholders in a text.
    static int placeholderCount(const QString& text);

    // Loads the table of a language ("en", "de_CH" …) for tests and the
    // language switch; returns false when no such table is built in.
    static bool useLanguage(const QString& language);

private:
    static QString asText(const QString& s) { return s; }
    static QString asText(const char* s) { return QString::fromUtf8(s); }
    template <class N>
    static QString asText(N number) requires std::is_arithmetic_v<N> { return QString::number(number); }
};

}  // namespace qv
