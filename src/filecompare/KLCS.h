#pragma once
// Longest common subsequences over characters and over word components.
// Stateless: class operations only.

#include "filecompare/TextHash.h"

#include <QString>
#include <QStringView>

#include <cstdint>
#include <optional>
#include <vector>

namespace qv {

struct TextComponent {
    qsizetype pos = 0;   // offset in the string that was split
    QStringView text;
    std::size_t hash = 0;   // of the text: tables of components compare it first

    TextComponent() = default;
    TextComponent(qsizetype at, QStringView t) : pos(at), text(t), hash(textHash(t)) {}
    bool sameText(const TextComponent& other) const { return hash == other.hash && text == other.text; }
};

class KLCS {
public:
    // The word LCS table grows with the product of both component counts;
    // past this many cells it is not built and callers treat the blocks as
    // changed as a whole (16 MB of 32-bit counts).
    static constexpr std::uint64_t kMaxWordCells = 4'000'000;

    // Words (by ICU word segmentation) are components; between them every run
    // of spaces is one component and every other character one of its own.
    // A string without any word yields no components. The views point into `s`.
    static std::vector<TextComponent> SplitComponentsFrom(QStringView s);
    // The components of one line (or any text), all of them, with `offset`
    // added to their positions, appended to `out`; `anyWord` is set when one
    // is a word. A line break always stands alone between words, so a block's
    // components are its lines' components with a line break between them.
    static void AppendComponents(QStringView s, qsizetype offset, std::vector<TextComponent>& out, bool& anyWord);
    // The same through ICU's word iterator, for any text. AppendComponents
    // splits ASCII text itself by the same rules, without the iterator's
    // cost per boundary: the changed lines of a large pair are split while
    // the line tool runs beside us.
    static void AppendComponentsWithIcu(QStringView s, qsizetype offset, std::vector<TextComponent>& out, bool& anyWord);

    static std::vector<std::vector<std::uint64_t>> GetMatrixForString1(QStringView s1, QStringView s2);
    static QString CommonTextForString1(QStringView s1, QStringView s2);

    // Weighted table: a match adds the component's length. Nothing when the
    // table would exceed kMaxWordCells.
    static std::optional<std::vector<std::uint32_t>> WordGetMatrixForComp1(const std::vector<TextComponent>& c1,
                                                                           const std::vector<TextComponent>& c2);
    // The common components in order; nothing when the table is too large.
    static std::optional<std::vector<QString>> WordCommonTextForString1(const QString& s1, const QString& s2);
    // The same for texts already split: the views point into the first text.
    static std::optional<std::vector<QStringView>> CommonComponents(const std::vector<TextComponent>& c1,
                                                                    const std::vector<TextComponent>& c2);
};

}  // namespace qv
