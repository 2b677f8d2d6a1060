#pragma once
// One comparison run from the command line, shared by the commands that
// compare first and then report (compare, export): the options that choose
// the two sides, settings, rules, sort order and view filter, and the run
// itself to its end, size pass included.

#include "app/HeadlessPrompt.h"
#include "app/QuorvaneModule.h"

#include <QStringList>

#include <memory>
#include <optional>
#include <string>
#include <vector>

class QCoreApplication;

namespace CLI {
class App;
}

namespace qv {

class CompareRun {
public:
    // `command` names the command in messages ("compare", "export" …); `fs`
    // is the file system the sides are read through (tests give a slow or failing one).
    CompareRun(QCoreApplication& app, std::string command, platform::FileSystem& fs = platform::systemFileSystem());
    ~CompareRun();

    // Declares the run's own options and the folder arguments on a command
    // (--columns only when the command does not give it a meaning of its own).
    void addOptions(CLI::App& command, bool withColumns = true);
    // For runs that change the folders: one folder inside the other is
    // refused, or with `allowed` compared with the inner one left out of the
    // outer side, so that nothing is ever copied into itself.
    void guardNesting(bool allowed) {
        m_guardNesting = true;
        m_allowNested = allowed;
    }
    // Lists the contents of every one-sided folder into the tree, depth first.
    void listOneSidedFolders();

    // Sets up the window and runs the comparison to its end. Returns 0 when it
    // completed, 2 after printing why it could not run, 128 + the signal's
    // number when interrupted, and kFilePair (printing nothing) when the two
    // paths are files.
    int run();
    static constexpr int kFilePair = -1;

    QuorvaneModule& module() { return *m_module; }
    // The view columns whose values the run reads ("--columns", or the export's columns).
    void readColumns(const std::vector<int>& columns);
    const std::vector<int>& columns() const { return m_columns; }
    // The folder or set label of a side for the first line of a text report.
    std::string sideLabel(int side) const;
    // The folders named on the command line, the members of sets included.
    std::vector<std::string> folders() const;
    // The node at a path relative to the roots ("" is the root), or nullptr.
    KItem* nodeAtPath(const std::string& path) const;

private:
    // Checks the options' values; "" when they are all understood.
    QString readOptionValues();
    QString prepare();
    QString applyExcludes();
    QString checkNesting();

    QCoreApplication& m_app;
    std::string m_command;
    platform::FileSystem& m_fs;
    std::vector<std::string> m_paths;
    std::vector<std::string> m_setTexts[2];
    QStringList m_sets[2];
    std::vector<std::string> m_assignments;
    std::string m_ruleFile;
    std::vector<std::string> m_excludes, m_excludeFiles;
    std::string m_sortText, m_showText, m_hideText, m_columnsText, m_stateOrderText;
    std::optional<int> m_sortColumn;
    bool m_sortDescending = false;
    std::optional<unsigned> m_filter;
    std::optional<std::vector<int>> m_stateOrder;
    std::vector<int> m_columns;
    HeadlessPrompt m_prompt;
    std::unique_ptr<QuorvaneModule> m_module;
    std::vector<std::string> m_createdSets;
    bool m_guardNesting = false, m_allowNested = false;
};

// Parses "name" or "name:desc" into a column; false for an unknown column.
bool parseSortColumn(const QString& text, int& column, bool& descending);
// Parses a comma-separated list of column names or numbers (as --sort takes them).
bool parseColumnList(const QString& text, std::vector<int>& columns);
// Parses a list of filter names for --show (on=true) or --hide.
bool parseFilterNames(const QString& text, bool show, unsigned& filter);

}  // namespace qv
