#include "filters/KExcludeRule.h"

#include <unicode/regex.h>

#include <cctype>

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

// Runs one search; the matcher keeps no reference to the text afterwards.
bool findIn(icu::RegexMatcher& matcher, const QString& s, UErrorCode& status) {
    const icu::UnicodeString text = aliasOf(s);
    matcher.reset(text);
    const bool found = matcher.find(status);
    matcher.reset(icu::UnicodeString());
    return found;
}

// Names that make a backtracking pattern try every way of splitting them: a
// long run of each character the pattern looks for (and of the whole set of
// them), followed by one that no such run continues with.
std::vector<QString> hostileSamples(const QString& regex) {
    constexpr int kLength = 250;   // about the longest name a file system allows
    QString alphabet;
    auto add = [&](QChar c) {
        if (!alphabet.contains(c)) alphabet += c;
    };
    for (qsizetype i = 0; i < regex.size(); ++i) {
        const QChar c = regex[i];
        if (c == '\\' && i + 1 < regex.size()) {
            const QChar e = regex[++i];
            if (e == 'd') add('7');
            else if (e == 'w') add('a');
            else if (e == 's') add(' ');
            else if (!e.isLetter()) add(e);
        } else if (c == '.') {
            add('a');
        } else if (!QStringLiteral("()[]{}|*+?^$").contains(c)) {
            add(c);
        }
    }
    if (alphabet.isEmpty()) add('a');
    std::vector<QString> samples;
    for (const QString& end : {QStringLiteral("\u0001"), QStringLiteral("\n")}) {
        for (QChar c : alphabet) samples.push_back(QString(kLength, c) + end);
        QString mixed;
        while (mixed.size() < kLength) mixed += alphabet;
        samples.push_back(mixed.left(kLength) + end);
    }
    return samples;
}

bool isAsciiAlnum(QChar c) {
    const char16_t u = c.unicode();
    return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9');
}

// Letter and digit runs that every match of a regular expression must
// contain. Only simple patterns are read: any alternation, group option or
// escape that could stand for a letter or digit gives no literals at all,
// and runs inside groups or brackets are ignored.
std::vector<std::string> requiredRegexLiterals(const QString& pattern) {
    std::vector<std::string> literals;
    if (pattern.contains('|') || pattern.contains(QStringLiteral("(?"))) return {};
    int depth = 0;
    bool inBrackets = false;
    QString run;
    auto keep = [&](QChar next) {
        // A quantifier after the run makes its last character optional.
        if (next == '?' || next == '*' || next == '{') run.chop(1);
        if (!run.isEmpty()) literals.push_back(run.toStdString());
        run.clear();
    };
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern[i];
        if (c == '\\') {
            if (i + 1 >= pattern.size()) return {};
            const QChar e = pattern[i + 1];
            if (QStringLiteral("xuUNpPQEkgc0123456789").contains(e)) return {};
            keep(e);
            ++i;
            continue;
        }
        if (inBrackets) {
            if (c == ']') inBrackets = false;
            continue;
        }
        if (c == '{') {
            // A counted repetition: its digits are not text.
            keep(c);
            const qsizetype close = pattern.indexOf('}', i);
            if (close < 0) return {};
            i = close;
            continue;
        }
        if (c == '[') inBrackets = true;
        else if (c == '(') ++depth;
        else if (c == ')') --depth;
        if (depth == 0 && !inBrackets && isAsciiAlnum(c) && c != '[') {
            run += c;
            continue;
        }
        keep(c);
    }
    keep(QChar());
    return literals;
}

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
        m_cachedBytes = m_cachedPattern.toStdString();
        if (!m_cachedBytes.empty() && isAscii(m_cachedPattern)) m_requiredLiterals.push_back(m_cachedBytes);
        return;
    }
    UErrorCode status = U_ZERO_ERROR;
    const uint32_t flags = m_caseSensitive ? 0 : UREGEX_CASE_INSENSITIVE;
    std::unique_ptr<icu::RegexPattern> compiled(icu::RegexPattern::compile(aliasOf(regex), flags, status));
    if (U_FAILURE(status) || !compiled) return;   // never matches; validation reports it
    std::unique_ptr<icu::RegexMatcher> matcher(compiled->matcher(status));
    if (U_FAILURE(status) || !matcher) return;
    matcher->setTimeLimit(kTimeLimitSteps, status);
    matcher->setMatchCallback(&KExcludeRule::mayGoOn, this, status);
    if (U_FAILURE(status)) return;
    m_compiledRegex = std::move(compiled);   // the matcher refers to it
    m_cachedRegex = std::move(matcher);
    if (m_matchType == KRuleMatchRegex) {
        m_requiredLiterals = requiredRegexLiterals(m_pattern);
        if (!m_caseSensitive)
            for (std::string& literal : m_requiredLiterals)
                for (char& c : literal) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return;
    }

    // Literal runs between the wildcards.
    QString source = m_pattern, literal;
    if (m_matchType == KRuleMatchPath) {
        while (source.startsWith('/')) source.remove(0, 1);
        while (source.endsWith('/')) source.chop(1);
    }
    auto keep = [&] {
        if (!literal.isEmpty() && isAscii(literal))
            m_requiredLiterals.push_back((m_caseSensitive ? literal : literal.toLower()).toStdString());
        literal.clear();
    };
    for (QChar c : source) {
        if (c == '*' || c == '?') keep();
        else literal += c;
    }
    keep();
}

UBool KExcludeRule::mayGoOn(const void* rule, int32_t) {
    const RegexGuard* guard = static_cast<const KExcludeRule*>(rule)->m_guard;
    return !(guard && guard->cancelled && guard->cancelled->load(std::memory_order_relaxed));
}

bool KExcludeRule::isSlowOnHostileNames() const {
    if (!m_cacheBuilt) BuildCache();
    if (!m_cachedRegex) return false;
    const QString source = m_matchType == KRuleMatchRegex ? m_pattern : wildcardToRegex(m_pattern, m_matchType == KRuleMatchPath);
    for (const QString& sample : hostileSamples(source)) {
        UErrorCode status = U_ZERO_ERROR;
        findIn(*m_cachedRegex, sample, status);
        if (status == U_REGEX_TIME_OUT) return true;
    }
    return false;
}

bool KExcludeRule::definesMatch() const {
    switch (m_matchType) {
    case KRuleMatchPrefix: case KRuleMatchContains: case KRuleMatchSuffix:
    case KRuleMatchWildcard: case KRuleMatchPath: case KRuleMatchRegex:
        return true;
    default:
        return false;
    }
}

const std::vector<std::string>& KExcludeRule::requiredLiterals() const {
    if (!m_cacheBuilt) BuildCache();
    return m_requiredLiterals;
}

std::string KExcludeRule::asciiBytes(const QString& s) {
    return isAscii(s) ? s.toStdString() : std::string();
}

bool KExcludeRule::matchesName(const QString& s) const { return matchesName(s, asciiBytes(s)); }

bool KExcludeRule::matchesName(const QString& s, std::string_view ascii) const {
    if (!m_cacheBuilt) BuildCache();
    const bool bytes = !ascii.empty() || s.isEmpty();
    switch (m_matchType) {
    case KRuleMatchPrefix:
        if (m_cachedPattern.isEmpty()) return false;
        return bytes ? ascii.starts_with(m_cachedBytes) : s.startsWith(m_cachedPattern);
    case KRuleMatchContains:
        if (m_cachedPattern.isEmpty()) return false;
        return bytes ? ascii.find(m_cachedBytes) != std::string_view::npos : s.contains(m_cachedPattern);
    case KRuleMatchSuffix:
        if (m_cachedPattern.isEmpty()) return false;
        return bytes ? ascii.ends_with(m_cachedBytes) : s.endsWith(m_cachedPattern);
    case KRuleMatchWildcard:
    case KRuleMatchPath:
    case KRuleMatchRegex: {
        if (!m_cachedRegex) return false;
        if (bytes)
            for (const std::string& literal : m_requiredLiterals)
                if (ascii.find(literal) == std::string_view::npos) return false;
        if (m_timedOut) return false;
        UErrorCode status = U_ZERO_ERROR;
        const bool found = findIn(*m_cachedRegex, s, status);
        if (status == U_REGEX_TIME_OUT) {
            m_timedOut = true;
            if (m_guard && m_guard->onTimeOut) m_guard->onTimeOut(m_pattern);
        }
        return U_SUCCESS(status) && found;
    }
    default: return false;
    }
}

}  // namespace qv
