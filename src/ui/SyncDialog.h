#pragma once
// The sync sheet: mirror or update, the direction, and whether to delete at
// the destination what exists only there, with a sentence that says what the
// choice will do. It only collects the request; the controller plans it.

#include <QDialog>

class QButtonGroup;
class QCheckBox;
class QLabel;
class QPushButton;
class QRadioButton;

namespace qv {

class Settings;

class SyncDialog final : public QDialog {
    Q_OBJECT
public:
    // `haveComparison`: planning can use the tree on screen; otherwise a comparison runs first.
    SyncDialog(Settings& settings, bool haveComparison, QWidget* parent = nullptr);

    int syncType() const;
    // The plan request: the direction bits, with the deletion bit where asked (MirrorBits).
    int mirror() const;

private:
    void typeChanged();
    void UpdateInfoString();
    int direction() const;

    Settings& m_settings;
    QRadioButton* m_mirror;
    QRadioButton* m_update;
    QRadioButton* m_toRight;
    QRadioButton* m_toLeft;
    QRadioButton* m_both;
    QButtonGroup* m_directions;
    QCheckBox* m_deleteOrphans;
    QLabel* m_info;
    QPushButton* m_start;
};

}  // namespace qv
