#pragma once
// The inspector: both sides of the selected row in detail (kind, size,
// dates, permissions, owner, link target, tags, extended attributes), the
// folders' sizes as the size pass brings them in, and the MD5 of both files
// when asked for (computed on a worker).

#include "app/PairDetails.h"

#include <QWidget>

#include <array>
#include <memory>

class QGridLayout;
class QLabel;
class QPushButton;
class QThread;

namespace qv {

class KItem;

class InspectorPanel final : public QWidget {
    Q_OBJECT
public:
    explicit InspectorPanel(QWidget* parent = nullptr);
    ~InspectorPanel() override;

    // Shows a row (nullptr: nothing). The row must stay valid until clear() or another row.
    void showItem(const KItem* item);
    // Forgets the row: the tree it belongs to is going.
    void clear() { showItem(nullptr); }
    // Reads the row again (sizes came in, a file changed).
    void refresh();
    // Computes the digests of both files.
    void computeDigests();

    // The text shown for a detail of a side (0 left, 1 right).
    QString valueText(int row, int side) const;
    enum Row : int { Name, Kind, Size, Created, Modified, Accessed, Permissions, Owner, LinkTarget, Tags, Attributes, Digest, RowCount };

signals:
    // The digests are in.
    void digestsComputed();

private:
    void show(const std::array<SideDetails, 2>& sides);
    void digestsDone(unsigned generation, std::array<QString, 2> digests);

    const KItem* m_item = nullptr;
    std::array<std::array<QLabel*, 2>, RowCount> m_values{};
    QPushButton* m_digestButton;
    QThread* m_digestThread = nullptr;
    unsigned m_generation = 0;   // tells a late digest of an earlier row from the current one
    std::array<QString, 2> m_paths;
    std::array<QString, 2> m_digests;   // of the row shown, once computed
};

}  // namespace qv
