#include "filters/RuleListMatcher.h"

#include "platform/Utf8.h"

#include <algorithm>

namespace qv {

namespace {

using platform::isAscii;

void lowerAscii(std::string& s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
}

}  // namespace

// The texts of one entry. Plain ASCII texts are made on bytes; the Unicode
// forms are made only for a rule that needs them.
struct RuleListMatcher::Texts {
    std::string_view name, folder;
    bool ascii = false;                // name and folder are both plain ASCII
    std::array<std::string, 4> bytes;  // when ascii
    std::array<QString, 4> text;
    std::array<bool, 4> madeBytes{}, madeText{};
    // Stamps of the current entry: a literal seen, a candidate's count of its literals seen.
    std::uint32_t generation = 0;
    std::vector<std::uint32_t> literalSeen[4];
    std::vector<std::uint32_t> candidateStamp;
    std::vector<std::size_t> candidateHits;

    void reset(std::string_view n, std::string_view f) {
        name = n;
        folder = f;
        ascii = isAscii(n) && isAscii(f);
        madeBytes = {};
        madeText = {};
        ++generation;
    }

    const std::string& asciiOf(TextKind kind) {
        if (!madeBytes[kind]) {
            std::string& b = bytes[kind];
            if (kind == Name || kind == LowerName) b.assign(name);
            else (b.assign(folder), (b.empty() || b.back() != '/') ? b.push_back('/') : void()), b.append(name);
            if (kind == LowerName || kind == LowerPath) lowerAscii(b);
            madeBytes[kind] = true;
        }
        return bytes[kind];
    }

    const QString& textOf(TextKind kind) {
        if (!madeText[kind]) {
            if (ascii) {
                text[kind] = QString::fromLatin1(asciiOf(kind));
            } else {
                QString t = QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
                if (kind == Path || kind == LowerPath) {
                    QString f = QString::fromUtf8(folder.data(), static_cast<qsizetype>(folder.size()));
                    t = f.endsWith('/') ? f + t : f + '/' + t;
                }
                text[kind] = kind == LowerName || kind == LowerPath ? t.toLower() : t;
            }
            madeText[kind] = true;
        }
        return text[kind];
    }
};

RuleListMatcher::~RuleListMatcher() = default;

RuleListMatcher::RuleListMatcher(const std::vector<KExcludeRule>& rules) {
    for (const KExcludeRule& rule : rules) {
        if (!rule.definesMatch()) continue;
        const bool path = rule.matchType() == KRuleMatchPath;
        const TextKind kind = path ? (rule.caseSensitive() ? Path : LowerPath) : (rule.caseSensitive() ? Name : LowerName);
        const std::size_t index = m_candidates.size();
        std::vector<int> ids;
        for (const std::string& literal : rule.requiredLiterals()) {
            const int id = m_indexes[kind].add(literal);
            if (std::find(ids.begin(), ids.end(), id) == ids.end()) ids.push_back(id);
        }
        for (int id : ids) {
            auto& by = m_requiredBy[kind];
            if (by.size() <= static_cast<std::size_t>(id)) by.resize(static_cast<std::size_t>(id) + 1);
            by[static_cast<std::size_t>(id)].push_back(index);
        }
        if (ids.empty()) m_withoutLiterals.push_back(index);
        m_candidates.push_back({&rule, kind, ids.size()});
        m_used[kind] = true;
    }
    for (LiteralIndex& index : m_indexes) index.build();
    m_scratch = std::make_unique<Texts>();
    for (int k = 0; k < 4; ++k) m_scratch->literalSeen[k].assign(m_indexes[k].size(), 0);
    m_scratch->candidateStamp.assign(m_candidates.size(), 0);
    m_scratch->candidateHits.assign(m_candidates.size(), 0);
}

bool RuleListMatcher::test(const Candidate& c, Texts& t) const {
    if (t.ascii) {
        // Plain literal kinds decide on the bytes alone.
        static const QString unused;
        const std::string& ascii = t.asciiOf(c.text);
        return c.rule->matchesName(c.rule->decidesOnBytes() ? unused : t.textOf(c.text), ascii);
    }
    return c.rule->matchesName(t.textOf(c.text), {});
}

bool RuleListMatcher::anyMatches(std::string_view name, std::string_view folder) const {
    Texts& t = *m_scratch;
    t.reset(name, folder);
    if (!t.ascii) {
        // Literals are only looked for in plain ASCII texts: any other text tests every rule.
        for (const Candidate& c : m_candidates)
            if (!(c.text >= Path && folder.empty()) && test(c, t)) return true;
        return false;
    }
    for (std::size_t i : m_withoutLiterals) {
        const Candidate& c = m_candidates[i];
        if (!(c.text >= Path && folder.empty()) && test(c, t)) return true;
    }
    // A candidate is tested once the last of its literals has been seen.
    for (int k = 0; k < 4; ++k) {
        if (!m_used[k] || m_indexes[k].size() == 0 || (k >= Path && folder.empty())) continue;
        const TextKind kind = static_cast<TextKind>(k);
        bool matched = false;
        m_indexes[k].find(t.asciiOf(kind), [&](std::int32_t id) {
            if (matched || t.literalSeen[k][static_cast<std::size_t>(id)] == t.generation) return;
            t.literalSeen[k][static_cast<std::size_t>(id)] = t.generation;
            for (std::size_t i : m_requiredBy[k][static_cast<std::size_t>(id)]) {
                if (t.candidateStamp[i] != t.generation) {
                    t.candidateStamp[i] = t.generation;
                    t.candidateHits[i] = 0;
                }
                if (++t.candidateHits[i] == m_candidates[i].literalCount && test(m_candidates[i], t)) {
                    matched = true;
                    return;
                }
            }
        });
        if (matched) return true;
    }
    return false;
}

}  // namespace qv
