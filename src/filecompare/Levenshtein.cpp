#include "filecompare/Levenshtein.h"

#include "filecompare/KLCS.h"

#include <QString>

#include <algorithm>
#include <vector>

namespace qv::Levenshtein {

int smallestOf(int a, int b, int c) { return std::min({a, b, c}); }

float compareWithWord(QStringView a, QStringView b) {
    a = a.trimmed();
    b = b.trimmed();
    if (a.isEmpty() || b.isEmpty()) return 0.0f;
    const qsizetype n = a.size(), m = b.size();
    std::vector<int> prev(m + 1), cur(m + 1);
    for (qsizetype j = 0; j <= m; ++j) prev[j] = int(j);
    for (qsizetype i = 1; i <= n; ++i) {
        cur[0] = int(i);
        const char16_t ca = a[i - 1].unicode();
        for (qsizetype j = 1; j <= m; ++j) {
            const int subst = prev[j - 1] + (ca == b[j - 1].unicode() ? 0 : 1);
            cur[j] = smallestOf(prev[j] + 1, cur[j - 1] + 1, subst);
        }
        std::swap(prev, cur);
    }
    return float(prev[m]);
}

float compareWithString(QStringView a, QStringView b) {
    QString sa = a.toString(), sb = b.toString();
    sa.replace(QLatin1Char('\n'), QLatin1Char(' '));
    sb.replace(QLatin1Char('\n'), QLatin1Char(' '));
    const auto ca = KLCS::SplitComponentsFrom(sa);
    if (ca.empty()) return float(sb.size()) * 1000.0f;
    const auto cb = KLCS::SplitComponentsFrom(sb);
    double sum = 0;
    for (const auto& x : ca) {
        float best = 1e8f;
        for (const auto& y : cb) best = std::min(best, compareWithWord(x.text, y.text));
        sum += best;
    }
    return float(sum / double(ca.size()));
}

}  // namespace qv::Levenshtein
