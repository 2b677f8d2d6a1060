#pragma once
// The two files side by side: a table over a FileLinesModel whose rows are
// as tall as the lines they show (a change is one row of several lines).
// Lines are drawn by the view's own delegate with their line numbers, word
// marks and filler lines; long lines either wrap at character boundaries or
// share one horizontal offset on both sides. Only the rows in sight are
// drawn; row heights are set from line counts, never by laying out text.

#include "ui/DiffAppearance.h"

#include <QTableView>

namespace qv {

class FileLinesModel;
class Settings;

class KFileTableView final : public QTableView {
    Q_OBJECT
public:
    explicit KFileTableView(Settings& settings, QWidget* parent = nullptr);

    void setLinesModel(FileLinesModel* model);
    FileLinesModel* linesModel() const { return m_model; }

    bool linesWrap() const { return m_wrap; }
    void setLinesWrap(bool wrap);
    // The font of the lines; rows are laid out again.
    void setViewFont(const QFont& font);
    // Colours read again from the settings and the palette.
    void applyAppearance();
    const DiffAppearance& appearance() const { return m_appearance; }

    // Selects a row and scrolls so that it stands `fraction` of the visible
    // height below the top, or shows the end when the end is near.
    void placeRow(int row, double fraction);

    // A found text, drawn highlighted: row, side (0 left, 1 right), offset in the row's text, length.
    struct Found {
        int row = -1, side = 0;
        qsizetype offset = 0, length = 0;
    };
    void setFound(const Found& found);
    const Found& found() const { return m_found; }

    // Layout figures the delegate draws with.
    int lineHeight() const { return m_lineHeight; }
    int charWidth() const { return m_charWidth; }
    int numberAreaWidth() const;
    int textOffset() const { return m_wrap ? 0 : m_textOffset; }
    int textLeftInCell() const;
    // Character cells a line may take before it wraps (0: no wrapping).
    int wrapColumns() const;
    // Screen lines that line k of a row takes (the larger of its two sides).
    int visualLines(int row, int k) const;

    // Where a row lies in the whole document, as fractions of its height.
    std::pair<double, double> rowSpan(int row) const;
    // The part of the document in sight, as fractions of its height.
    std::pair<double, double> visibleSpan() const;
    // Scrolls so that a fraction of the document stands at the top of the view's middle.
    void scrollToFraction(double fraction);

signals:
    // What is in sight changed (scrolled, resized, rows laid out again).
    void visibleSpanChanged();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void updateGeometries() override;
    void scrollContentsBy(int dx, int dy) override;
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;
    void changeEvent(QEvent* event) override;

private:
    void relayoutRows();
    void updateColumnWidths();
    void updateTextScroller();

    Settings& m_settings;
    FileLinesModel* m_model = nullptr;
    DiffAppearance m_appearance;
    bool m_wrap = false;
    int m_lineHeight = 16, m_charWidth = 8, m_textOffset = 0;
    int m_laidOutWrapColumns = -1;
    Found m_found;
    QMetaObject::Connection m_resetConnection;
};

}  // namespace qv
