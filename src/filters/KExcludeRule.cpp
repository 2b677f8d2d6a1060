#include "filters/KExcludeRule.h"

#include <unicode/regex.h>

namespace qv {
namespace {

icu::UnicodeString aliasOf(const QString& s) {
    // Read-only alias: no copy of the characters. The QString must outlive it.
    return icu::UnicodeString(false, reinterpret_cast<const UChar*>(s.utf16()), static_cast<int32_t>(s.size()));
}

bool isAscii(const QString& s) {
    for (QChar c : s)
        if (c.unicode() >= 0x80) return false;
    return true;
}

const QString kRegexSpecials = QStringLiteral("$()+.[\\]^{|}");

}  // namespace

KExcludeRule::KExcludeRule() = default;

KExcludeRule::KExcludeRule(std::int64_t matchType, const QString& pattern, bool caseSensitive)
    : m_matchType(matchType), m_pattern(pattern), m_caseSensitive(caseSensitive) {}

KExcludeRule::KExcludeRule(const KExcludeRule& other)
    : m_matchType(other.m_matchType), m_pattern(other.m_pattern), m_caseSensitive(other.m_caseSensitive) {}

KExcludeRule& KExcludeRule::operator=(const KExcludeRule& other) {
    if (this != &other) {
        m_matchType = other.m_matchType;
        m_pattern = other.m_pattern;
        m_caseSensitive = other.m_caseSensitive;
        invalidateCache();
    }
    return *this;
}

KExcludeRule::~KExcludeRule() = default;

void KExcludeRule::setMatchType(std::int64_t type) {
    m_matchType = type;
    invalidateCache();
}

void KExcludeRule::setPattern(const QString& pattern) {
    m_pattern = pattern;
    invalidateCache();
}

void KExcludeRule::setCaseSensitive(bool caseSensitive) {
    m_caseSensitive = caseSensitive;
    invalidateCache();
}

void KExcludeRule::invalidateCache() {
    m_cacheBuilt = false;
    m_cachedRegex.reset();
    m_compiledRegex.reset();
    m_cachedPattern.clear();
    m_requiredLiterals.clear();
}

QString KExcludeRule::wildcardToRegex(const QString& pattern, bool pathRule) {
    QString source = pattern;
    if (pathRule) {
        while (source.startsWith('/')) source.remove(0, 1);
        while (source.endsWith('/')) source.chop(1);
    }
    QString out;
    for (QChar c : source) {
        if (c == '*') out += QStringLiteral(".*");
        else if (c == '?') out += '.';
        else if (kRegexSpecials.contains(c)) out += '\\', out += c;
        else out += c;
    }
    return pathRule ? QStringLiteral("(^|/)%1(/|$)").arg(out) : QStringLiteral("^%1$").arg(out);
}

bool KExcludeRule::regexCompiles(const QString& pattern) {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::RegexPattern> compiled(icu::RegexPattern::compile(aliasOf(pattern), 0, status));
    return U_SUCCESS(status) && compiled;
}

void KExcludeRule::BuildCache() const {
    m_cacheBuilt = true;
    QString regex;
    switch (m_matchType) {
    case KRuleMatchRegex: regex = m_pattern; break;
    case KRuleMatchWildcard: regex = wildcardToRegex(m_pattern, false); break;
    case KRuleMatchPath: regex = wildcardToRegex(m_pattern, true); break;
    default:
        m_cachedPattern = m_caseSensitive ? m_pattern : m_pattern.toLower();
        return;
    }
    UErrorCode status = U_ZERO_ERROR;
    const uint32_t flags = m_caseSensitive ? 0 : UREGEX_CASE_INSENSITIVE;
    std::unique_ptr<icu::RegexPattern> compiled(icu::RegexPattern::compile(aliasOf(regex), flags, status));
    if (U_FAILURE(status) || !compiled) return;   // never matches; validation reports it
    std::unique_ptr<icu::RegexMatcher> matcher(compiled->matcher(status));
    if (U_FAILURE(status) || !matcher) return;
    m_compiledRegex = std::move(compiled);   // the matcher refers to it
    m_cachedRegex = std::move(matcher);
    if (m_matchType == KRuleMatchRegex) return;

    // Literal runs between the wildcards.
    QString source = m_pattern, literal;
    if (m_matchType == KRuleMatchPath) {
        while (source.startsWith('/')) source.remove(0, 1);
        while (source.endsWith('/')) source.chop(1);
    }
    auto keep = [&] {
        if (!literal.isEmpty() && isAscii(literal)) m_requiredLiterals.push_back(literal);
        literal.clear();
    };
    for (QChar c : source) {
        if (c == '*' || c == '?') keep();
        else literal += c;
    }
    keep();
}

bool KExcludeRule::matchesName(const QString& s) const {
    if (!m_cacheBuilt) BuildCache();
    switch (m_matchType) {
    case KRuleMatchPrefix: return !m_cachedPattern.isEmpty() && s.startsWith(m_cachedPattern);
    case KRuleMatchContains: return !m_cachedPattern.isEmpty() && s.contains(m_cachedPattern);
    case KRuleMatchSuffix: return !m_cachedPattern.isEmpty() && s.endsWith(m_cachedPattern);
    case KRuleMatchWildcard:
    case KRuleMatchPath:
    case KRuleMatchRegex: {
        if (!m_cachedRegex) return false;
        if (!m_requiredLiterals.empty() && isAscii(s)) {
            for (const QString& literal : m_requiredLiterals)
                if (!s.contains(literal, m_caseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive)) return false;
        }
        const icu::UnicodeString text = aliasOf(s);
        m_cachedRegex->reset(text);
        UErrorCode status = U_ZERO_ERROR;
        const bool found = m_cachedRegex->find(status);
        m_cachedRegex->reset(icu::UnicodeString());
        return U_SUCCESS(status) && found;
    }
    default: return false;
    }
}

}  // namespace qv
