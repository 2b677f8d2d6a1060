#include "base/Messages.h"

#include "base/BuiltInMessages.h"

#include <QFile>
#include <QLocale>
#include <QMutex>
#include <QRegularExpression>
#include <QSet>

#include <unicode/locid.h>
#include <unicode/plurrule.h>

#include <rapidjson/document.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

namespace qv {
namespace {

// Another language's texts as its JSON file holds them, in UTF-8, sorted by
// key: read in place, with no table of strings built from it.
class Table {
public:
    Table() = default;
    // The entries point into the text: moved, never copied.
    Table(Table&&) = default;
    Table& operator=(Table&&) = default;

    static Table load(const QString& language) {
        Table table;
        QFile file(QStringLiteral(":/messages/%1.json").arg(language));
        if (!file.open(QIODevice::ReadOnly)) return table;
        table.m_json = file.readAll();
        // Parsed in place: the strings are unescaped inside the file's own bytes.
        rapidjson::Document document;
        document.ParseInsitu(table.m_json.data());
        if (document.HasParseError() || !document.IsObject()) return {};
        for (const auto& member : document.GetObject()) {
            const std::string_view text = member.value.IsString()
                                              ? std::string_view(member.value.GetString(), member.value.GetStringLength())
                                              : std::string_view();
            table.m_entries.push_back({{member.name.GetString(), member.name.GetStringLength()}, text});
        }
        // A key given twice keeps its last text.
        std::stable_sort(table.m_entries.begin(), table.m_entries.end(),
                         [](const Entry& a, const Entry& b) { return a.key < b.key; });
        const auto last = std::unique(table.m_entries.rbegin(), table.m_entries.rend(),
                                      [](const Entry& a, const Entry& b) { return a.key == b.key; });
        table.m_entries.erase(table.m_entries.begin(), last.base());
        return table;
    }
    bool isEmpty() const { return m_entries.empty(); }
    std::optional<QString> find(std::string_view key) const {
        const auto it = std::lower_bound(m_entries.begin(), m_entries.end(), key,
                                         [](const Entry& e, std::string_view k) { return e.key < k; });
        if (it == m_entries.end() || it->key != key) return std::nullopt;
        return QString::fromUtf8(it->text.data(), qsizetype(it->text.size()));
    }

private:
    struct Entry {
        std::string_view key, text;   // inside m_json
    };
    QByteArray m_json;
    std::vector<Entry> m_entries;
};

// English is compiled in; another language is read from its file.
bool isEnglish(const QString& language) { return language.section('_', 0, 0) == QLatin1String("en"); }

std::optional<QString> builtInEnglish(std::string_view key) {
    const auto it = std::lower_bound(kBuiltInMessages.begin(), kBuiltInMessages.end(), key,
                                     [](const BuiltInMessage& m, std::string_view k) { return m.key < k; });
    if (it == kBuiltInMessages.end() || it->key != key) return std::nullopt;
    return QString::fromUtf8(it->text.data(), qsizetype(it->text.size()));
}

QMutex& tableMutex() {
    static QMutex mutex;
    return mutex;
}

// The user's language's table; empty for English.
Table& localTable() {
    static Table table = [] {
        const QString name = QLocale().name();   // e.g. "de_CH"
        if (isEnglish(name)) return Table();
        Table local = Table::load(name);
        return local.isEmpty() ? Table::load(name.section('_', 0, 0)) : std::move(local);
    }();
    return table;
}

}  // namespace

QString Messages::text(const char* key) {
    QMutexLocker lock(&tableMutex());
    if (auto text = localTable().find(key)) return *text;
    if (auto text = builtInEnglish(key)) return *text;
    return QString::fromLatin1(key);
}

QString Messages::plural(const char* key, qint64 count) { return pluralText(key, count).arg(QLocale().toString(count)); }

QString Messages::pluralText(const char* key, qint64 count) {
    static const std::unique_ptr<icu::PluralRules> rules = [] {
        UErrorCode status = U_ZERO_ERROR;
        // The C locale has no plural rules; its texts are the English ones.
        const QString name = QLocale().language() == QLocale::C ? QStringLiteral("en") : QLocale().name();
        std::unique_ptr<icu::PluralRules> r(icu::PluralRules::forLocale(icu::Locale(name.toLatin1().constData()), status));
        return U_SUCCESS(status) ? std::move(r) : nullptr;
    }();
    QString form = QStringLiteral("other");
    if (rules) {
        const icu::UnicodeString keyword = rules->select(static_cast<int32_t>(std::min<qint64>(count, INT32_MAX)));
        form = QString::fromUtf16(reinterpret_cast<const char16_t*>(keyword.getBuffer()), keyword.length());
    }
    const QByteArray formKey = QByteArray(key) + '.' + form.toLatin1();
    QString text = Messages::text(formKey.constData());
    if (text == QLatin1String(formKey)) text = Messages::text((QByteArray(key) + ".other").constData());
    return text;
}

int Messages::placeholderCount(const QString& text) {
    static const QRegularExpression placeholder(QStringLiteral("%(\\d+)"));
    QSet<QString> seen;
    for (auto it = placeholder.globalMatch(text); it.hasNext();) seen.insert(it.next().captured(1));
    return static_cast<int>(seen.size());
}

bool Messages::useLanguage(const QString& language) {
    Table table = isEnglish(language) ? Table() : Table::load(language);
    if (!isEnglish(language) && table.isEmpty()) return false;
    QMutexLocker lock(&tableMutex());
    localTable() = std::move(table);
    return true;
}

}  // namespace qv
