#pragma once
// Answers whether any rule of one list matches an entry, quickly enough for
// hundreds of rules on every listed name: each rule's required literals are
// looked for all at once, and only rules whose literals are all present are
// tested for real.

#include "filters/KExcludeRule.h"
#include "filters/LiteralIndex.h"

#include <QString>

#include <array>
#include <memory>
#include <string_view>
#include <vector>

namespace qv {

class RuleListMatcher {
public:
    // The rules must outlive the matcher and stay unchanged.
    explicit RuleListMatcher(const std::vector<KExcludeRule>& rules);
    ~RuleListMatcher();

    // `folder` is the folder being listed ("" when none: path rules then
    // match nothing). Name and folder come as UTF-8.
    bool anyMatches(std::string_view name, std::string_view folder) const;

private:
    // The four texts a rule may be tested against.
    enum TextKind { Name = 0, LowerName = 1, Path = 2, LowerPath = 3 };
    struct Candidate {
        const KExcludeRule* rule;
        TextKind text;
        std::size_t literalCount;    // distinct required literals
    };
    struct Texts;
    const Texts& textsFor(std::string_view name, std::string_view folder) const;

    bool test(const Candidate& c, Texts& texts) const;

    std::vector<Candidate> m_candidates;
    std::vector<std::size_t> m_withoutLiterals;   // candidates every entry tests
    // Per text kind and literal id, the candidates that require that literal.
    std::array<std::vector<std::vector<std::size_t>>, 4> m_requiredBy;
    std::unique_ptr<Texts> m_scratch;   // reused from entry to entry
    std::array<LiteralIndex, 4> m_indexes;
    std::array<bool, 4> m_used{};
};

}  // namespace qv
