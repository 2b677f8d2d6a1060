#pragma once
// The comparisons of a run without windows (`quorvane script --headless`,
// and the tests): each is a controller with a prompt that answers every
// question with its default. ShowUI is kept but there is nothing to show.

#include "scripting/ScriptingHost.h"

#include <memory>
#include <vector>

namespace qv {

class Settings;

class HeadlessComparisons final : public ScriptingHost {
    Q_OBJECT
public:
    // How long a closed comparison stays listed before it goes.
    static constexpr int kCloseDelayMs = 3000;

    explicit HeadlessComparisons(Settings& settings, QObject* parent = nullptr);
    ~HeadlessComparisons() override;

    std::vector<ScriptableComparison*> comparisons() const override;
    ScriptableComparison* newComparison(bool showUI) override;

    // Closes a comparison now (what the delay ends in).
    void remove(int uniqueASID);
    void setCloseDelay(int milliseconds) { m_closeDelayMs = milliseconds; }
    int closeDelay() const { return m_closeDelayMs; }

private:
    class Document;
    Settings& m_settings;
    std::vector<std::unique_ptr<Document>> m_documents;   // the most recent first, as a document list keeps them
    int m_closeDelayMs = kCloseDelayMs;
};

}  // namespace qv
