#include "filecompare/KLCS.h"

#include <unicode/ubrk.h>
#include <unicode/utypes.h>

#include <algorithm>
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

}  // namespace

void KLCS::AppendComponents(QStringView s, qsizetype offset, std::vector<TextComponent>& out, bool& anyWord) {
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
