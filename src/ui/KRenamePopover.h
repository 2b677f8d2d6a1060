#pragma once
// The small panel that asks for the new name of a copy-as or a rename: a
// whole new name, a text to add after or before the name, or a text to
// replace, with a live example of the name it makes. With several rows
// selected it offers only the patterns, applied to every row.

#include "sync/RenamePattern.h"

#include <QFrame>

#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;

namespace qv {

class KItem;
class QuorvaneModule;
class Settings;

class KRenamePopover final : public QFrame {
    Q_OBJECT
public:
    KRenamePopover(QuorvaneModule& module, Settings& settings, QWidget* parent);

    // Opens for the press of a copy-as (BtnCopyAs) or rename (BtnRename)
    // button on `side` of `row`, next to `anchor` (global coordinates).
    void OpenRenamePopup(KItem* row, const std::vector<KItem*>& selection, int kind, int side, const QRect& anchor);
    // Switches to a mode by its radio's tag (1 new name, 2 add text, 3
    // replace) and remembers it as the user's choice.
    void RenameOption(int tag);
    // The options the fields make; no text while the field in use is empty.
    RenameOptions RenameDict() const;
    // Applies the options to the row (and the selection) and closes.
    void RenameOk();

    QRadioButton* modeButton(int tag) const { return m_modes[tag - 1]; }
    QLineEdit* newNameField() const { return m_newName; }
    QLineEdit* addTextField() const { return m_addText; }
    QComboBox* positionMenu() const { return m_position; }
    QLineEdit* findField() const { return m_find; }
    QLineEdit* replaceField() const { return m_replace; }
    QString exampleText() const;

private:
    void UpdateRenameExample(QLineEdit* sender);
    void SetFileName(const QString& name);
    void SelectOnlyFilename();
    void ResetState();
    void TranslateRenameView();

    QuorvaneModule& m_module;
    Settings& m_settings;
    bool iResetState = false;
    int iSide = 0;
    int iHooverBtn = 0;   // the kind of the button that opened it
    KItem* iRow = nullptr;
    KItem* iItem = nullptr;
    std::vector<KItem*> m_selection;

    QLabel* m_heading = nullptr;
    QRadioButton* m_modes[3] = {};
    QLineEdit* m_newName = nullptr;
    QLineEdit* m_addText = nullptr;
    QComboBox* m_position = nullptr;
    QLineEdit* m_find = nullptr;
    QLabel* m_with = nullptr;
    QLineEdit* m_replace = nullptr;
    QLabel* iRenExample = nullptr;
};

}  // namespace qv
