#include "ui/SortOrderDialog.h"

#include "base/Messages.h"
#include "engine/ComparisonState.h"
#include "ui/StateAppearance.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

namespace qv {
namespace {

// The groups a user can order, and the name each reads as.
struct Group {
    int state;
    const char* key;
};
constexpr Group kGroups[] = {{kStateOnlyLeft, "onLeft"},        {kStateOnlyRight, "onRight"},
                             {kStateDifferent, "notequal"},     {kStateTagsDiffer, "notequaltags"},
                             {kStateRsrcDiffers, "notequalrsrc"}, {kStateEqual, "equal"}};

const Group* groupOf(int state) {
    for (const Group& g : kGroups)
        if (g.state == state) return &g;
    return nullptr;
}

}  // namespace

SortOrderDialog::SortOrderDialog(const std::vector<int>& currentOrder, QWidget* parent)
    : QDialog(parent), m_list(new QListWidget(this)) {
    setWindowTitle(Messages::text("sortOrder"));
    auto* message = new QLabel(Messages::text("sortOrderMsg"), this);
    message->setWordWrap(true);
    m_list->setDragDropMode(QAbstractItemView::InternalMove);
    m_list->setAccessibleName(Messages::text("sortOrder"));
    // The stored order first, then any group it lacks.
    std::vector<int> states;
    for (int s : currentOrder)
        if (groupOf(s) && std::find(states.begin(), states.end(), s) == states.end()) states.push_back(s);
    for (const Group& g : kGroups)
        if (std::find(states.begin(), states.end(), g.state) == states.end()) states.push_back(g.state);
    for (int s : states) {
        auto* item = new QListWidgetItem(stateGlyph(s) + QStringLiteral("   ") + Messages::text(groupOf(s)->key), m_list);
        item->setData(Qt::UserRole, s);
        item->setData(Qt::AccessibleTextRole, Messages::text(groupOf(s)->key));
        item->setForeground(stateColor(s, QApplication::palette()));
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Save | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(message);
    layout->addWidget(m_list);
    layout->addWidget(buttons);
}

std::vector<int> SortOrderDialog::order() const {
    std::vector<int> states;
    for (int i = 0; i < m_list->count(); ++i) states.push_back(m_list->item(i)->data(Qt::UserRole).toInt());
    return states;
}

}  // namespace qv
