#include "ui/TagPopover.h"

#include "base/Messages.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>

namespace qv {

TagPopover::TagPopover(SavedHandler saved, QWidget* parent)
    : QFrame(parent, Qt::Popup), m_saved(std::move(saved)) {
    setFrameShape(QFrame::StyledPanel);
    auto* column = new QVBoxLayout(this);
    m_title = new QLabel(this);
    column->addWidget(m_title);
    m_text = new QLineEdit(this);
    m_text->setToolTip(Messages::text("addTag3"));
    m_text->setMinimumWidth(260);
    m_title->setBuddy(m_text);
    column->addWidget(m_text);
    auto* row = new QHBoxLayout;
    for (int i = 0; i < kTagColourCount; ++i) {
        auto* button = new QToolButton(this);
        button->setCheckable(true);
        button->setAutoRaise(true);   // the border shows only under the mouse
        connect(button, &QToolButton::clicked, this, [this, i] { ColorSelected(i); });
        m_colours[static_cast<std::size_t>(i)] = button;
        row->addWidget(button);
    }
    column->addLayout(row);
    InitTags();
    connect(m_text, &QLineEdit::textChanged, this, &TagPopover::UpdateTags);
    connect(m_text, &QLineEdit::returnPressed, this, &QWidget::close);
}

void TagPopover::InitTags() {
    const QStringList names = Messages::text("tColors").split(QLatin1Char(';'));
    for (int i = 0; i < kTagColourCount && i < names.size(); ++i) {
        QToolButton* button = m_colours[static_cast<std::size_t>(i)];
        button->setText(QLatin1Char(' ') + names[i]);
        button->setAccessibleName(names[i]);
        button->setToolTip(QStringLiteral(" [%1]").arg(names[i]));
    }
}

void TagPopover::OpenTagsPopupFor(const std::vector<std::string>& paths, const QRect& anchor) {
    iItems = paths;
    m_title->setText(paths.size() == 1
                         ? Messages::format("addTag1", QFileInfo(QString::fromStdString(paths.front())).fileName())
                         : Messages::format("addTag2", QString::number(paths.size())));
    m_text->setAccessibleName(m_title->text());
    m_text->setText(TagEditor::gatheredText(paths));
    UpdateTags();
    adjustSize();
    move(anchor.bottomLeft());
    show();
    m_text->setFocus();
}

QString TagPopover::title() const { return m_title->text(); }

void TagPopover::ColorSelected(int index) {
    m_text->setText(TagEditor::withColour(m_text->text(), index, colourButton(index)->isChecked()));
}

void TagPopover::UpdateTags() {
    const auto on = TagEditor::coloursIn(m_text->text());
    for (int i = 0; i < kTagColourCount; ++i) colourButton(i)->setChecked(on[static_cast<std::size_t>(i)]);
}

void TagPopover::hideEvent(QHideEvent* event) {
    QFrame::hideEvent(event);
    SaveTags();
}

void TagPopover::SaveTags() {
    if (iItems.empty()) return;
    const std::vector<std::string> paths = std::move(iItems);
    iItems.clear();
    // The attribute separates names by commas: a comma typed here divides two names as well.
    const QStringList tags = TagEditor::tagsFromText(m_text->text().replace(QLatin1Char(','), QLatin1Char(';')));
    const std::vector<TagWriteFailure> failures = TagEditor::SaveTags(paths, tags);
    if (m_saved) m_saved(failures);
}

}  // namespace qv
