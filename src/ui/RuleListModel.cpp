#include "ui/RuleListModel.h"

#include "base/Messages.h"

#include <QApplication>
#include <QPalette>

#include <algorithm>
#include <utility>

namespace qv {
namespace {

struct KindText {
    std::int64_t kind;
    const char* nameKey;
    const char* fileExample;
    const char* folderExample;
    const char* fileTip;
    const char* folderTip;
};

const KindText kKinds[] = {
    {KRuleMatchPrefix, "ruleKindPrefix", "report.", "Build", "tooltipPattern", "tooltipPattern"},
    {KRuleMatchContains, "ruleKindContains", "report", "node_modules", "tooltipPattern", "tooltipPattern"},
    {KRuleMatchSuffix, "ruleKindSuffix", ".tmp", "Cache", "tooltipPattern", "tooltipPattern"},
    {KRuleMatchWildcard, "ruleKindWildcard", "*.txt", "2024-*", "tooltipWildcard", "tooltipWildcardFolder"},
    {KRuleMatchPath, "ruleKindPath", "*/Build/*.o", "*/node_modules", "tooltipPathMatchFile", "tooltipPathMatchFolder"},
    {KRuleMatchRegex, "ruleKindRegex", "\\d{4}-\\d{2}-\\d{2}", "\\d{4}-\\d{2}-\\d{2}", "tooltipRegex", "tooltipRegexFolder"},
};

const KindText* textOf(std::int64_t kind) {
    for (const KindText& k : kKinds)
        if (k.kind == kind) return &k;
    return nullptr;   // kinds that define no match show nothing
}

}  // namespace

RuleListModel::RuleListModel(KExcludeRules& rules, bool fileTable, std::function<void()> changed, QObject* parent)
    : QAbstractTableModel(parent), m_rules(rules), m_fileTable(fileTable), m_changed(std::move(changed)) {}

RuleList RuleListModel::list() const {
    if (m_fileTable) return m_exclude ? RuleList::FileRules : RuleList::CompareOnlyFileRules;
    return m_exclude ? RuleList::FolderRules : RuleList::CompareOnlyFolderRules;
}

KExcludeRules::Rules& RuleListModel::rules() const { return m_rules.rules(list()); }

const KExcludeRules::Rules& RuleListModel::shownRules() const { return std::as_const(m_rules).rules(list()); }

void RuleListModel::showExcludeList(bool exclude) {
    beginResetModel();
    m_exclude = exclude;
    endResetModel();
}

int RuleListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(shownRules().size());
}

int RuleListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

const std::vector<std::int64_t>& RuleListModel::kinds() {
    static const std::vector<std::int64_t> all = [] {
        std::vector<std::int64_t> v;
        for (const KindText& k : kKinds) v.push_back(k.kind);
        return v;
    }();
    return all;
}

QString RuleListModel::kindName(std::int64_t kind) {
    const KindText* k = textOf(kind);
    return k ? Messages::text(k->nameKey) : QString::number(kind);
}

QString RuleListModel::placeholder(std::int64_t kind, bool fileTable) {
    const KindText* k = textOf(kind);
    return k ? QString::fromUtf8(fileTable ? k->fileExample : k->folderExample) : QString();
}

QString RuleListModel::tooltip(std::int64_t kind, bool fileTable) {
    const KindText* k = textOf(kind);
    return k ? Messages::text(fileTable ? k->fileTip : k->folderTip) : QString();
}

QString RuleListModel::finding(int row) const {
    const KExcludeRules::Rules& shown = shownRules();
    const KExcludeRule& rule = shown[std::size_t(row)];
    static const char* const keys[] = {nullptr, "ruleIssue1", "ruleIssue3", "ruleIssue4", "ruleIssue2"};
    const int code = KExcludeRules::validateRule(rule, shown, &rule);
    return code > 0 && code < 5 ? Messages::text(keys[code]) : QString();
}

QVariant RuleListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const KExcludeRule& rule = shownRules()[std::size_t(index.row())];
    switch (index.column()) {
        case Kind:
            if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole) return kindName(rule.matchType());
            if (role == MatchTypeRole || role == Qt::EditRole) return qlonglong(rule.matchType());
            break;
        case Pattern:
            if (role == Qt::DisplayRole || role == Qt::EditRole) return rule.pattern();
            if (role == PlaceholderRole) return placeholder(rule.matchType(), m_fileTable);
            if (role == Qt::ToolTipRole) return tooltip(rule.matchType(), m_fileTable);
            if (role == Qt::AccessibleTextRole)
                return rule.pattern().isEmpty() ? Messages::text("ruleEmptyPattern") : rule.pattern();
            break;
        case CaseSensitive:
            if (role == Qt::CheckStateRole) return rule.caseSensitive() ? Qt::Checked : Qt::Unchecked;
            if (role == Qt::AccessibleTextRole)
                return Messages::text(rule.caseSensitive() ? "ruleCaseMatters" : "ruleCaseIgnored");
            break;
        case Finding:
            if (role == Qt::DisplayRole || role == Qt::ToolTipRole || role == Qt::AccessibleTextRole) return finding(index.row());
            if (role == Qt::ForegroundRole) {
                const QPalette palette = QApplication::palette();
                return palette.color(QPalette::Base).lightness() < 128 ? QColor(0xff, 0x7b, 0x72) : QColor(0xb0, 0x00, 0x20);
            }
            break;
        default: break;
    }
    return {};
}

void RuleListModel::edited() {
    // A change to one rule may settle or raise a finding on any other.
    if (rowCount() > 0) emit dataChanged(index(0, 0), index(rowCount() - 1, ColumnCount - 1));
    if (m_changed) m_changed();
}

bool RuleListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || index.row() >= rowCount()) return false;
    KExcludeRule& rule = rules()[std::size_t(index.row())];
    if (index.column() == Kind && role == Qt::EditRole) {
        const std::int64_t kind = value.toLongLong();
        if (kind == rule.matchType()) return false;
        // Another kind of match starts from an empty pattern.
        rule.setPattern(QString());
        rule.setMatchType(kind);
    } else if (index.column() == Pattern && role == Qt::EditRole) {
        rule.setPattern(value.toString());
    } else if (index.column() == CaseSensitive && role == Qt::CheckStateRole) {
        rule.setCaseSensitive(value.toInt() == Qt::Checked);
    } else {
        return false;
    }
    edited();
    return true;
}

QVariant RuleListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    static const char* const keys[] = {"ruleColumnKind", "ruleColumnPattern", "ruleColumnCase", "ruleColumnFinding"};
    return section >= 0 && section < ColumnCount ? Messages::text(keys[section]) : QVariant();
}

Qt::ItemFlags RuleListModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() == Kind || index.column() == Pattern) f |= Qt::ItemIsEditable;
    if (index.column() == CaseSensitive) f |= Qt::ItemIsUserCheckable;
    return f;
}

int RuleListModel::addRule() {
    const int row = rowCount();
    beginInsertRows({}, row, row);
    rules().emplace_back(KRuleMatchPrefix, QString(), false);
    endInsertRows();
    edited();
    return row;
}

void RuleListModel::removeRows(std::vector<int> rows) {
    std::sort(rows.begin(), rows.end(), std::greater<>());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    for (int row : rows) {
        if (row < 0 || row >= rowCount()) continue;
        beginRemoveRows({}, row, row);
        rules().erase(rules().begin() + row);
        endRemoveRows();
    }
    if (!rows.empty()) edited();
}

}  // namespace qv
