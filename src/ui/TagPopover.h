#pragma once
// The small panel that edits the tags of the entries of the chosen rows on
// one side: their names as one text ("Work;Red") and seven colour buttons
// that follow the text. Whatever the text holds when it closes is written
// to every entry: there is no cancel.

#include "sync/TagEditor.h"

#include <QFrame>

#include <functional>
#include <string>
#include <vector>

class QLabel;
class QLineEdit;
class QToolButton;

namespace qv {

class TagPopover final : public QFrame {
    Q_OBJECT
public:
    // Told, after each close, which entries refused their tags.
    using SavedHandler = std::function<void(const std::vector<TagWriteFailure>&)>;

    TagPopover(SavedHandler saved, QWidget* parent);

    // Shows the tags of the entries at `paths` below `anchor` (global coordinates).
    void OpenTagsPopupFor(const std::vector<std::string>& paths, const QRect& anchor);

    QLineEdit* textField() const { return m_text; }
    QToolButton* colourButton(int index) const { return m_colours[static_cast<std::size_t>(index)]; }
    QString title() const;

protected:
    void hideEvent(QHideEvent* event) override;

private:
    void InitTags();
    void ColorSelected(int index);
    void UpdateTags();
    void SaveTags();

    SavedHandler m_saved;
    std::vector<std::string> iItems;
    QLabel* m_title = nullptr;
    QLineEdit* m_text = nullptr;
    std::array<QToolButton*, kTagColourCount> m_colours{};
};

}  // namespace qv
