#pragma once
// One list of filter rules as a table: the kind of match, the pattern, the
// case switch and, beside a rule that cannot stand, why. Edits go straight
// into the window's rule set.

#include "filters/KExcludeRules.h"

#include <QAbstractTableModel>

#include <functional>

namespace qv {

class RuleListModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column : int { Kind = 0, Pattern, CaseSensitive, Finding, ColumnCount };
    enum Role : int { MatchTypeRole = Qt::UserRole + 1, PlaceholderRole };

    // `changed` is called after every edit (to store the rules).
    RuleListModel(KExcludeRules& rules, bool fileTable, std::function<void()> changed, QObject* parent = nullptr);

    // The list shown: the exclude list (true) or the compare-only list.
    void showExcludeList(bool exclude);
    bool showsExcludeList() const { return m_exclude; }
    RuleList list() const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // A new rule (name begins with "", not case sensitive) at the end; its row.
    int addRule();
    void removeRows(std::vector<int> rows);

    // Why a rule cannot stand ("" when it can), as the closing check words it.
    QString finding(int row) const;

    // The kinds of match offered, in menu order, and their names.
    static const std::vector<std::int64_t>& kinds();
    static QString kindName(std::int64_t kind);
    // The example shown in an empty pattern, and the explanation of a kind.
    static QString placeholder(std::int64_t kind, bool fileTable);
    static QString tooltip(std::int64_t kind, bool fileTable);

private:
    // The list shown, to change it (its prepared matcher goes) or only to read it.
    KExcludeRules::Rules& rules() const;
    const KExcludeRules::Rules& shownRules() const;
    void edited();

    KExcludeRules& m_rules;
    bool m_fileTable;
    bool m_exclude = true;
    std::function<void()> m_changed;
};

}  // namespace qv
