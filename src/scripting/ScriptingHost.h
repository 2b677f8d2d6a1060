#pragma once
// What the scripting commands need of the application: its open
// comparisons in document order, and new ones. The window program and the
// headless run each provide one.

#include <QObject>

#include <vector>

namespace qv {

class ScriptableComparison;

class ScriptingHost : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // The open comparisons, in the document list's order.
    virtual std::vector<ScriptableComparison*> comparisons() const = 0;
    // A new comparison with or without its window; null when none can be made.
    virtual ScriptableComparison* newComparison(bool showUI) = 0;

    // The open comparison with that number, null when there is none.
    virtual ScriptableComparison* comparison(qint64 uniqueASID) const;

signals:
    void comparisonAdded(int uniqueASID);
    // The comparison has gone (closed by a script or by its user).
    void comparisonRemoved(int uniqueASID);
    // A comparison's counts or state may have changed.
    void comparisonChanged(int uniqueASID);
};

}  // namespace qv
