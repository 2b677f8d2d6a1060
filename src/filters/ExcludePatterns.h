#pragma once
// Excludes as users write them for rsync or in a .gitignore file, turned
// into filter rules of one run:
//   NAME*     a wildcard over names (files and folders)
//   NAME/     the same, folders only
//   /PATH     anchored at the compared folders (a folder's own entries only)
//   A/B       a wildcard over whole components of the path
// Case matters, as it does for rsync. Lines of a pattern file that are
// empty or start with "#" say nothing; "!" (re-include) is not supported
// and such lines are reported back.

#include "filters/KExcludeRules.h"

#include <QString>
#include <QStringList>

#include <string>
#include <vector>

namespace qv {

class ExcludePatterns {
public:
    // The compared folders, which anchored patterns are taken from.
    explicit ExcludePatterns(std::vector<std::string> roots) : m_roots(std::move(roots)) {}

    // Adds one pattern; false for one that cannot be used (empty, "!…").
    bool add(const QString& pattern);
    // The patterns of a file's lines; returns the lines that could not be used.
    QStringList addLines(const QString& text);

    // Puts the rules into `rules` on top of what is in force there: a list
    // switched off keeps its stored rules out and gets only these.
    void applyTo(KExcludeRules& rules) const;

    bool empty() const { return m_files.empty() && m_folders.empty(); }

private:
    std::vector<std::string> m_roots;
    KExcludeRules::Rules m_files, m_folders;
};

}  // namespace qv
