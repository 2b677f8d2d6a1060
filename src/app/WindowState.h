#pragma once
// The visible state of one comparison window that its user edits: the path
// fields, the selected tab and the option boxes. Widgets bind to it; headless
// runs set it directly. What the window only shows is ComparisonStatus.

#include <QString>

#include <string>

namespace qv {

class Settings;

struct WindowState {
    enum Tab { FolderTab = 0, FileTab = 1 };

    std::string leftPath, rightPath;         // the two path fields (file-system bytes)
    QString caseSensitivityNote;             // shown beside the case-sensitivity button
    int selectedTab = FolderTab;

    // Option boxes of the window and the toolbar's content button.
    bool optIgnoreDate = false;
    bool optIgnore2secDate = false;
    bool optCmpContents = false;
    bool optSubfolders = true;
    bool optHidden = true;
    bool optIncludeAliases = true;
    bool optResolveAliases = false;
    bool optCompareRsrc = false;
    bool optCompareTags = false;

    // Sets the option boxes from the stored settings, as a new window does.
    void loadOptions(const Settings& settings);
};

}  // namespace qv
