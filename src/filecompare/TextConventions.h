#pragma once
// How a text file spells what the line diff does not see: a UTF-8
// byte-order mark at its start, and its line ending (the comparison reads
// both files with "\n" alone). A merged file is written the way the file it
// was merged from was written.

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace qv {

struct TextConventions {
    bool byteOrderMark = false;
    QByteArray lineEnd = "\n";

    // The conventions of the file at `path`, from its first block: a file
    // with CR LF pairs ends lines with CR LF, one with lone CRs with CR.
    static TextConventions of(const QString& path);

    // The lines joined with the line ending, after the mark when there is one.
    QByteArray render(const QStringList& lines) const;
};

}  // namespace qv
