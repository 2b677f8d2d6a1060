#pragma once
// The window program's comparisons as scripts see them: every open
// document, in the application's document order.

#include "scripting/ScriptingHost.h"

namespace qv {

class ApplicationDelegate;

class ApplicationScripting final : public ScriptingHost {
    Q_OBJECT
public:
    explicit ApplicationScripting(ApplicationDelegate& delegate, QObject* parent = nullptr);

    std::vector<ScriptableComparison*> comparisons() const override;
    ScriptableComparison* newComparison(bool showUI) override;
    // Without listing every document first: each bus property read asks.
    ScriptableComparison* comparison(qint64 uniqueASID) const override;

private:
    ApplicationDelegate& m_delegate;
};

}  // namespace qv
