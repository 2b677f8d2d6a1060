#include "ui/ApplicationScripting.h"

#include "ui/ApplicationDelegate.h"
#include "ui/ComparisonWindow.h"
#include "ui/KQVDocument.h"

namespace qv {

ApplicationScripting::ApplicationScripting(ApplicationDelegate& delegate, QObject* parent)
    : ScriptingHost(parent), m_delegate(delegate) {
    connect(&delegate, &ApplicationDelegate::documentAdded, this,
            [this](KQVDocument* d) { emit comparisonAdded(d->iUniqueASID()); });
    connect(&delegate, &ApplicationDelegate::documentRemoved, this,
            [this](KQVDocument* d) { emit comparisonRemoved(d->iUniqueASID()); });
}

std::vector<ScriptableComparison*> ApplicationScripting::comparisons() const {
    std::vector<ScriptableComparison*> out;
    for (KQVDocument* d : m_delegate.documents()) out.push_back(d);
    return out;
}

ScriptableComparison* ApplicationScripting::comparison(qint64 uniqueASID) const {
    for (KQVDocument* d : m_delegate.documents())
        if (d->iUniqueASID() == uniqueASID) return d;
    return nullptr;
}

ScriptableComparison* ApplicationScripting::newComparison(bool showUI) { return m_delegate.newScriptedDocument(showUI); }

}  // namespace qv
