#pragma once
// One filter rule: a kind of match, a pattern and whether case counts.

#include <QString>

#include <unicode/uversion.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

U_NAMESPACE_BEGIN
class RegexMatcher;
class RegexPattern;
U_NAMESPACE_END

namespace qv {

enum KRuleMatch : std::int64_t {
    KRuleMatchPrefix = 0,
    KRuleMatchContains = 1,
    KRuleMatchSuffix = 2,
    KRuleMatchWildcard = 3,
    KRuleMatchPath = 4,
    KRuleMatchRegex = 9,
};

// What guards the regular expressions of one run: a match that runs too
// long (a pattern that backtracks without end on some names) is stopped,
// and one whose run is cancelled stops at once.
struct RegexGuard {
    const std::atomic<bool>* cancelled = nullptr;
    // Told the pattern of a rule the first time it runs out of time.
    std::function<void(const QString& pattern)> onTimeOut;
};

class KExcludeRule {
public:
    // The time one match may take, in ICU's steps of its match engine (each
    // roughly a millisecond): far beyond what any sane pattern needs on a name.
    static constexpr std::int32_t kTimeLimitSteps = 50;

    KExcludeRule();
    KExcludeRule(std::int64_t matchType, const QString& pattern, bool caseSensitive);
    KExcludeRule(const KExcludeRule& other);
    KExcludeRule& operator=(const KExcludeRule& other);
    ~KExcludeRule();

    std::int64_t matchType() const { return m_matchType; }
    const QString& pattern() const { return m_pattern; }
    bool caseSensitive() const { return m_caseSensitive; }
    void setMatchType(std::int64_t type);
    void setPattern(const QString& pattern);
    void setCaseSensitive(bool caseSensitive);

    // Whether the rule matches `s` (a name, or a full path for a path rule).
    // The caller lowercases `s` for a rule that ignores case.
    bool matchesName(const QString& s) const;
    // The same, given `ascii`: the bytes of `s` when `s` is plain ASCII (else
    // empty), so the common case is settled on bytes without Qt's searches.
    bool matchesName(const QString& s, std::string_view ascii) const;
    // Guards the rule's matching from now on (nullptr: no one is told of a time-out).
    void setGuard(const RegexGuard* guard) const { m_guard = guard; }
    // Whether a match ran out of time: the rule then matches nothing for the rest of the run.
    bool timedOut() const { return m_timedOut; }
    // Whether the rule's regular expression runs out of time on some name
    // built to make it backtrack (a run of the characters it looks for,
    // with one that ends every match at the end).
    bool isSlowOnHostileNames() const;

    // Whether the kind of match defines any match at all.
    bool definesMatch() const;
    // Prefix, contains and suffix rules answer from an ASCII text's bytes alone.
    bool decidesOnBytes() const {
        return m_matchType == KRuleMatchPrefix || m_matchType == KRuleMatchContains || m_matchType == KRuleMatchSuffix;
    }
    // ASCII literals that every text this rule matches contains (lowercased
    // when case is ignored); may be empty.
    const std::vector<std::string>& requiredLiterals() const;

    // The bytes of an ASCII text, or "" when it holds anything else.
    static std::string asciiBytes(const QString& s);

    // The regular expression a wildcard or path pattern stands for.
    static QString wildcardToRegex(const QString& pattern, bool pathRule);
    // Whether `pattern` compiles as an ICU regular expression (no options).
    static bool regexCompiles(const QString& pattern);

private:
    void invalidateCache();
    void BuildCache() const;

    std::int64_t m_matchType = KRuleMatchPrefix;
    QString m_pattern;
    bool m_caseSensitive = false;

    // Derived on first use, dropped whenever the rule changes.
    mutable bool m_cacheBuilt = false;
    mutable std::unique_ptr<icu::RegexPattern> m_compiledRegex;
    mutable std::unique_ptr<icu::RegexMatcher> m_cachedRegex;   // declared after the pattern it refers to
    mutable QString m_cachedPattern;
    mutable std::string m_cachedBytes;   // m_cachedPattern as UTF-8
    // ASCII runs every match must contain (lowercased when case is ignored),
    // to turn most names away before the regex runs.
    mutable std::vector<std::string> m_requiredLiterals;
    mutable const RegexGuard* m_guard = nullptr;
    mutable bool m_timedOut = false;

    // Called by ICU as a match goes on: false stops it (the run was cancelled).
    static UBool mayGoOn(const void* rule, int32_t steps);
};

}  // namespace qv
