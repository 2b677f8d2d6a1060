#include "ui/RuleRowDelegate.h"

#include "ui/RuleListModel.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPainter>

namespace qv {

QWidget* RuleRowDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    if (index.column() == RuleListModel::Kind) {
        auto* combo = new QComboBox(parent);
        for (std::int64_t kind : RuleListModel::kinds()) combo->addItem(RuleListModel::kindName(kind), qlonglong(kind));
        combo->setAccessibleName(index.model()->headerData(RuleListModel::Kind, Qt::Horizontal).toString());
        // A choice made in the menu counts at once.
        auto* self = const_cast<RuleRowDelegate*>(this);
        connect(combo, &QComboBox::activated, self, [self, combo] { emit self->commitData(combo); });
        return combo;
    }
    if (index.column() == RuleListModel::Pattern) {
        auto* field = new QLineEdit(parent);
        field->setPlaceholderText(index.data(RuleListModel::PlaceholderRole).toString());
        field->setToolTip(index.data(Qt::ToolTipRole).toString());
        field->setAccessibleName(index.model()->headerData(RuleListModel::Pattern, Qt::Horizontal).toString());
        return field;
    }
    return QStyledItemDelegate::createEditor(parent, option, index);
}

void RuleRowDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    if (auto* combo = qobject_cast<QComboBox*>(editor)) {
        combo->setCurrentIndex(std::max(0, combo->findData(index.data(RuleListModel::MatchTypeRole))));
        return;
    }
    QStyledItemDelegate::setEditorData(editor, index);
}

void RuleRowDelegate::setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const {
    if (auto* combo = qobject_cast<QComboBox*>(editor)) {
        model->setData(index, combo->currentData(), Qt::EditRole);
        return;
    }
    QStyledItemDelegate::setModelData(editor, model, index);
}

void RuleRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    QStyledItemDelegate::paint(painter, option, index);
    if (index.column() != RuleListModel::Pattern || !index.data().toString().isEmpty()) return;
    // An empty pattern shows an example of the kind, in the placeholder colour.
    painter->save();
    const bool selected = option.state & QStyle::State_Selected;
    QColor ink = option.palette.color(selected ? QPalette::HighlightedText : QPalette::PlaceholderText);
    if (selected) ink.setAlphaF(0.6f);
    painter->setPen(ink);
    painter->drawText(option.rect.adjusted(4, 0, -4, 0), Qt::AlignVCenter | Qt::AlignLeft,
                      index.data(RuleListModel::PlaceholderRole).toString());
    painter->restore();
}

}  // namespace qv
