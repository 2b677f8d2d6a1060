#include "ui/FindBar.h"

#include "base/Messages.h"
#include "base/Settings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QToolButton>

namespace qv {
namespace {

QToolButton* button(QWidget* parent, const QString& text, const QIcon& icon) {
    auto* b = new QToolButton(parent);
    b->setIcon(icon);
    b->setToolTip(text);
    b->setAccessibleName(text);
    return b;
}

}  // namespace

FindBar::FindBar(Settings& settings, QWidget* parent)
    : QWidget(parent), m_settings(settings), m_field(new QLineEdit(this)), m_matchCase(new QCheckBox(Messages::text("findMatchCase"), this)),
      m_wholeWord(new QCheckBox(Messages::text("findWholeWord"), this)), m_column(new QComboBox(this)), m_note(new QLabel(this)) {
    m_field->setPlaceholderText(Messages::text("findPlaceholder"));
    m_field->setAccessibleName(Messages::text("findPlaceholder"));
    m_field->setClearButtonEnabled(true);
    m_matchCase->setChecked(!settings.boolValue(QStringLiteral("seaIgnoreCase")));
    m_wholeWord->setChecked(settings.boolValue(QStringLiteral("seaFullWord")));
    // The stored value is the column plus one: 1 the left, 3 the right; 0 both.
    m_column->addItem(Messages::text("findInLeft"), 1);
    m_column->addItem(Messages::text("findInRight"), 3);
    m_column->addItem(Messages::text("findInBoth"), 0);
    m_column->setAccessibleName(Messages::text("findIn"));
    const int stored = m_column->findData(int(settings.intValue(QStringLiteral("seaFindIn"))));
    m_column->setCurrentIndex(stored < 0 ? 2 : stored);
    QToolButton* previous = button(this, Messages::text("findPrevious"), style()->standardIcon(QStyle::SP_ArrowUp));
    QToolButton* next = button(this, Messages::text("findNext"), style()->standardIcon(QStyle::SP_ArrowDown));
    QToolButton* close = button(this, Messages::text("findClose"), style()->standardIcon(QStyle::SP_DialogCloseButton));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_field, 1);
    layout->addWidget(previous);
    layout->addWidget(next);
    layout->addWidget(m_matchCase);
    layout->addWidget(m_wholeWord);
    layout->addWidget(m_column);
    layout->addWidget(m_note);
    layout->addWidget(close);
    connect(m_field, &QLineEdit::returnPressed, this, [this] { emit findRequested(true); });
    connect(m_field, &QLineEdit::textChanged, this, &FindBar::searchChanged);
    connect(previous, &QToolButton::clicked, this, [this] { emit findRequested(false); });
    connect(next, &QToolButton::clicked, this, [this] { emit findRequested(true); });
    connect(close, &QToolButton::clicked, this, [this] {
        hide();
        emit closed();
    });
    connect(m_matchCase, &QCheckBox::toggled, this, [this](bool on) {
        m_settings.store(QStringLiteral("seaIgnoreCase"), !on);
        emit searchChanged();
    });
    connect(m_wholeWord, &QCheckBox::toggled, this, [this](bool on) {
        m_settings.store(QStringLiteral("seaFullWord"), on);
        emit searchChanged();
    });
    connect(m_column, &QComboBox::currentIndexChanged, this, [this] {
        m_settings.store(QStringLiteral("seaFindIn"), m_column->currentData().toInt());
        emit searchChanged();
    });
}

QString FindBar::text() const { return m_field->text(); }

RowSearchOptions FindBar::options() const {
    RowSearchOptions o;
    o.matchCase = m_matchCase->isChecked();
    o.wholeWord = m_wholeWord->isChecked();
    const int column = m_column->currentData().toInt();
    o.sides = column == 1 ? 1 : column == 3 ? 2 : 3;
    return o;
}

void FindBar::open() {
    show();
    m_field->setFocus();
    m_field->selectAll();
}

void FindBar::setNote(const QString& note) { m_note->setText(note); }

void FindBar::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        hide();
        emit closed();
        return;
    }
    QWidget::keyPressEvent(event);
}

}  // namespace qv
