#include "scripting/HeadlessComparisons.h"

#include "app/HeadlessPrompt.h"
#include "app/QuorvaneModule.h"
#include "scripting/ScriptableComparison.h"

#include <QPointer>
#include <QTimer>

#include <algorithm>

namespace qv {

class HeadlessComparisons::Document final : public ScriptableComparison {
public:
    Document(HeadlessComparisons& owner, Settings& settings)
        : ScriptableComparison(takeUniqueASID()), m_owner(owner), m_module(m_prompt, settings) {}

    QuorvaneModule* controller() const override { return &m_module; }

protected:
    void applyShowUI(bool) override {}
    void hideAndCloseLater() override {
        QPointer<HeadlessComparisons> owner(&m_owner);
        const int id = iUniqueASID();
        QTimer::singleShot(m_owner.closeDelay(), &m_owner, [owner, id] {
            if (owner) owner->remove(id);
        });
    }

private:
    HeadlessComparisons& m_owner;
    HeadlessPrompt m_prompt;
    mutable QuorvaneModule m_module;
};

HeadlessComparisons::HeadlessComparisons(Settings& settings, QObject* parent)
    : ScriptingHost(parent), m_settings(settings) {}

HeadlessComparisons::~HeadlessComparisons() = default;

std::vector<ScriptableComparison*> HeadlessComparisons::comparisons() const {
    std::vector<ScriptableComparison*> out;
    out.reserve(m_documents.size());
    for (const auto& d : m_documents) out.push_back(d.get());
    return out;
}

ScriptableComparison* HeadlessComparisons::newComparison(bool) {
    m_documents.insert(m_documents.begin(), std::make_unique<Document>(*this, m_settings));
    const int id = m_documents.front()->iUniqueASID();
    emit comparisonAdded(id);
    return m_documents.front().get();
}

void HeadlessComparisons::remove(int uniqueASID) {
    const auto it = std::find_if(m_documents.begin(), m_documents.end(),
                                 [uniqueASID](const auto& d) { return d->iUniqueASID() == uniqueASID; });
    if (it == m_documents.end()) return;
    // Out of the list first: a script answered while the controller goes finds it gone.
    std::unique_ptr<Document> going = std::move(*it);
    m_documents.erase(it);
    going.reset();
    emit comparisonRemoved(uniqueASID);
}

}  // namespace qv
