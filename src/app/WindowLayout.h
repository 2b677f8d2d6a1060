#pragma once
// What a comparison window leaves behind when it closes, so that the next
// start looks the same: the tree's columns ("columns53"), the pane layout
// ("ui78"), and for every window open at quit its pairs and its place on the
// screen. Stored as JSON text: a hand-edited or older value that does not
// parse reads as nothing rather than as a half-applied layout.

#include <QList>
#include <QRect>
#include <QString>

#include <optional>
#include <vector>

namespace qv {

class Settings;

struct ColumnLayout {
    QString id;         // the column's identifier, stable across versions
    double width = 0;
    QString colorId;    // empty: the column has no colour of its own
};

struct PaneLayout {
    int leftSplit = 0;    // width of the left side pane, 0 when collapsed
    int rightSplit = 0;   // width of the right side pane (the inspector)
    int fileType = 0;     // the file comparison's kind (FileCompareType)
};

// One window's restorable state. Folder paths carry the prefix "" and file
// paths the prefix "2" where the document is told its pairs.
struct RestorableWindow {
    QString uuid;
    QString leftPath, rightPath;
    QString leftFile, rightFile;
    QString selTab = QStringLiteral("0");   // identifier of the selected tab, "0" for none
    QList<ColumnLayout> columns;
    PaneLayout ui;
    QRect geometry;            // empty: let the window manager place it
    bool maximized = false;
};

namespace WindowLayout {

// "columns53" and "ui78", written when a window closes.
void storeLayout(Settings& settings, const QList<ColumnLayout>& columns, const PaneLayout& ui);
std::optional<QList<ColumnLayout>> storedColumns(const Settings& settings);
std::optional<PaneLayout> storedPanes(const Settings& settings);

// The windows open at quit, in front-to-back order.
void storeOpenWindows(Settings& settings, const std::vector<RestorableWindow>& windows);
std::vector<RestorableWindow> openWindows(const Settings& settings);

}  // namespace WindowLayout
}  // namespace qv
