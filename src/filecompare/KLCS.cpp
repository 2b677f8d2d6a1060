#include "filecompare/KLCS.h"

#include <unicode/ubrk.h>
#include <unicode/utypes.h>

#include <algorithm>
#include <array>
#include <memory>

namespace qv {

namespace {

struct BreakIteratorCloser {
    void operator()(UBreakIterator* it) const { ubrk_close(it); }
};

// One word iterator per thread: opening one loads the break rules.
UBreakIterator* wordIterator() {
    thread_local std::unique_ptr<UBreakIterator, BreakIteratorCloser> it = [] {
        UErrorCode status = U_ZERO_ERROR;
        UBreakIterator* raw = ubrk_open(UBRK_WORD, "", nullptr, 0, &status);
        return std::unique_ptr<UBreakIterator, BreakIteratorCloser>(U_SUCCESS(status) ? raw : nullptr);
    }();
    return it.get();
}

void addNonWords(QStringView s, qsizetype from, qsizetype to, qsizetype offset, std::vector<TextComponent>& out) {
    qsizetype i = from;
    while (i < to) {
        if (s[i] == QLatin1Char(' ')) {
            qsizetype j = i;
            while (j < to && s[j] == QLatin1Char(' ')) ++j;
            out.push_back({offset + i, s.mid(i, j - i)});
            i = j;
        } else {
            out.push_back({offset + i, s.mid(i, 1)});
            ++i;
        }
    }
}

// How word segmentation sees an ASCII character.
enum class WordClass : std::uint8_t { Other, Letter, Digit, Connector, MidNumber, MidBoth };

constexpr auto kWordClasses = [] {
    std::array<WordClass, 128> table{};
    for (int c = 'a'; c <= 'z'; ++c) table[std::size_t(c)] = WordClass::Letter;
    for (int c = 'A'; c <= 'Z'; ++c) table[std::size_t(c)] = WordClass::Letter;
    // ICU counts the at sign as a letter, so that an address stays one word; not the colon.
    table['@'] = WordClass::Letter;
    for (int c = '0'; c <= '9'; ++c) table[std::size_t(c)] = WordClass::Digit;
    table['_'] = WordClass::Connector;
    table['.'] = table['\''] = WordClass::MidBoth;
    table[','] = table[';'] = WordClass::MidNumber;
    return table;
}();

bool isWordPart(WordClass c) { return c == WordClass::Letter || c == WordClass::Digit || c == WordClass::Connector; }

// Where the word that starts at `from` ends, by the Unicode word rules as
// ICU applies them to ASCII: letters, digits and underscores hold together;
// a full stop or apostrophe between two letters or two digits, and a comma
// or semicolon between two digits, stay inside the word.
qsizetype asciiWordEnd(const char16_t* s, qsizetype from, qsizetype n) {
    qsizetype i = from + 1;
    while (i < n) {
        const WordClass c = kWordClasses[s[i]];
        if (isWordPart(c)) {
            ++i;
            continue;
        }
        if (i + 1 >= n) break;
        const WordClass before = kWordClasses[s[i - 1]], after = kWordClasses[s[i + 1]];
        const bool betweenLetters = before == WordClass::Letter && after == WordClass::Letter && c == WordClass::MidBoth;
        const bool betweenDigits = before == WordClass::Digit && after == WordClass::Digit &&
                                   (c == WordClass::MidNumber || c == WordClass::MidBoth);
        if (!betweenLetters && !betweenDigits) break;
        i += 2;
    }
    return i;
}

// The components of an ASCII text; false, with nothing added, for any other.
bool appendAsciiComponents(QStringView text, qsizetype offset, std::vector<TextComponent>& out, bool& anyWord) {
    const auto* s = reinterpret_cast<const char16_t*>(text.data());
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i)
        if (s[i] >= 0x80) return false;
    qsizetype gap = 0;   // where the text between words began
    for (qsizetype i = 0; i < n;) {
        const WordClass c = kWordClasses[s[i]];
        if (!isWordPart(c)) {
            ++i;
            continue;
        }
        const qsizetype end = asciiWordEnd(s, i, n);
        addNonWords(text, gap, i, offset, out);
        if (end - i == 1 && c == WordClass::Connector) {
            // A lone underscore is no word; two or more are.
            addNonWords(text, i, end, offset, out);
        } else {
            anyWord = true;
            out.push_back({offset + i, text.mid(i, end - i)});
        }
        gap = i = end;
    }
    addNonWords(text, gap, n, offset, out);
    return true;
}

}  // namespace

void KLCS::AppendComponents(QStringView s, qsizetype offset, std::vector<TextComponent>& out, bool& anyWord) {
    if (!appendAsciiComponents(s, offset, out, anyWord)) AppendComponentsWithIcu(s, offset, out, anyWord);
}

void KLCS::AppendComponentsWithIcu(QStringView s, qsizetype offset, std::vector<TextComponent>& out, bool& anyWord) {
    UBreakIterator* it = wordIterator();
    if (s.isEmpty() || !it) return;
    UErrorCode status = U_ZERO_ERROR;
    ubrk_setText(it, reinterpret_cast<const UChar*>(s.data()), int32_t(s.size()), &status);
    if (U_FAILURE(status)) return;
    qsizetype start = ubrk_first(it);
    for (int32_t end = ubrk_next(it); end != UBRK_DONE; start = end, end = ubrk_next(it)) {
        if (ubrk_getRuleStatus(it) >= UBRK_WORD_NONE_LIMIT) {
            anyWord = true;
            out.push_back({offset + start, s.mid(start, end - start)});
        } else {
            addNonWords(s, start, end, offset, out);
        }
    }
    ubrk_setText(it, nullptr, 0, &status);
}

std::vector<TextComponent> KLCS::SplitComponentsFrom(QStringView s) {
    std::vector<TextComponent> out;
    bool anyWord = false;
    AppendComponents(s, 0, out, anyWord);
    if (!anyWord) out.clear();
    return out;
}

std::vector<std::vector<std::uint64_t>> KLCS::GetMatrixForString1(QStringView s1, QStringView s2) {
    std::vector<std::vector<std::uint64_t>> t(s1.size() + 1, std::vector<std::uint64_t>(s2.size() + 1, 0));
    for (qsizetype i = 1; i <= s1.size(); ++i)
        for (qsizetype j = 1; j <= s2.size(); ++j)
            t[i][j] = s1[i - 1] == s2[j - 1] ? t[i - 1][j - 1] + 1 : std::max(t[i - 1][j], t[i][j - 1]);
    return t;
}

QString KLCS::CommonTextForString1(QStringView s1, QStringView s2) {
    if (s1.isEmpty() || s2.isEmpty()) return {};
    const auto t = GetMatrixForString1(s1, s2);
    QString out;
    qsizetype i = s1.size(), j = s2.size();
    while (i > 0 && j > 0) {
        if (s1[i - 1] == s2[j - 1]) {
            out.prepend(s1[i - 1]);
            --i, --j;
        } else if (t[i - 1][j] <= t[i][j - 1]) {
            --j;
        } else {
            --i;
        }
    }
    return out;
}

std::optional<std::vector<std::uint32_t>> KLCS::WordGetMatrixForComp1(const std::vector<TextComponent>& c1,
                                                                      const std::vector<TextComponent>& c2) {
    const std::uint64_t rows = c1.size() + 1, cols = c2.size() + 1;
    if (rows * cols > kMaxWordCells) return std::nullopt;
    std::vector<std::uint32_t> t(rows * cols, 0);
    for (std::uint64_t i = 1; i < rows; ++i) {
        for (std::uint64_t j = 1; j < cols; ++j) {
            const TextComponent& a = c1[i - 1];
            t[i * cols + j] = a.sameText(c2[j - 1]) ? t[(i - 1) * cols + j - 1] + std::uint32_t(a.text.size())
                                                  : std::max(t[(i - 1) * cols + j], t[i * cols + j - 1]);
        }
    }
    return t;
}

std::optional<std::vector<QStringView>> KLCS::CommonComponents(const std::vector<TextComponent>& c1,
                                                               const std::vector<TextComponent>& c2) {
    std::vector<QStringView> out;
    if (c1.empty() || c2.empty()) return out;
    const auto table = WordGetMatrixForComp1(c1, c2);
    if (!table) return std::nullopt;
    const auto& t = *table;
    const std::size_t cols = c2.size() + 1;
    std::size_t i = c1.size(), j = c2.size();
    while (i > 0 && j > 0) {
        if (c1[i - 1].sameText(c2[j - 1])) {
            out.push_back(c1[i - 1].text);
            --i, --j;
        } else if (t[(i - 1) * cols + j] <= t[i * cols + j - 1]) {
            --j;
        } else {
            --i;
        }
    }
    std::reverse(out.begin(), out.end());
    return out;
}

std::optional<std::vector<QString>> KLCS::WordCommonTextForString1(const QString& s1, const QString& s2) {
    const auto common = CommonComponents(SplitComponentsFrom(s1), SplitComponentsFrom(s2));
    if (!common) return std::nullopt;
    std::vector<QString> out;
    out.reserve(common->size());
    for (QStringView w : *common) out.push_back(w.toString());
    return out;
}

}  // namespace qv
