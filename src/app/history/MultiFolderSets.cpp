#include "app/history/MultiFolderSets.h"

#include "app/history/FolderHistory.h"
#include "base/KappHelpQVF.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <unistd.h>

namespace qv {
namespace {

QString cleaned(const QString& path) { return QDir::cleanPath(path); }

// Removes a set made only of links; false when anything else is in it.
bool removeSet(const QString& set) {
    const QFileInfoList entries =
        QDir(set).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo& e : entries)
        if (!e.isSymLink()) return false;
    // Only the links go, never what they lead to.
    for (const QFileInfo& e : entries) ::unlink(QFile::encodeName(e.absoluteFilePath()).constData());
    return QDir().rmdir(set);
}

}  // namespace

QString MultiFolderSets::setsFolder() {
    const QString data = KappHelpQVF::ApplicationSupportFolder();
    return data.isEmpty() ? QString() : data + QStringLiteral("/MultiFolders");
}

bool MultiFolderSets::isSet(const QString& path) {
    const QString folder = setsFolder();
    if (folder.isEmpty() || path.isEmpty()) return false;
    return QFileInfo(cleaned(path)).absolutePath() == cleaned(folder);
}

QString MultiFolderSets::MultiFolderName(const QString& setFolder, int* components) {
    QStringList names;
    for (const QFileInfo& e : QDir(setFolder).entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot))
        if (e.isSymLink()) names << e.fileName();
    names.sort(Qt::CaseInsensitive);
    if (components) *components = static_cast<int>(names.size());
    return names.join('+');
}

std::set<QString> MultiFolderSets::referencedSets(Settings& settings) {
    std::set<QString> sets;
    auto note = [&sets](const QString& path) {
        if (isSet(path)) sets.insert(cleaned(path));
    };
    for (const HistoryPair& pair : FolderHistory(settings, true).pairs()) {
        note(pair.l);
        note(pair.r);
    }
    const KLastFolders recent(settings, QStringLiteral("lastFolders"));
    for (const KLastFolders::Entry& entry : recent.items()) note(entry.path);
    return sets;
}

int MultiFolderSets::removeSetsExcept(const std::set<QString>& keep) {
    const QString folder = setsFolder();
    if (folder.isEmpty()) return 0;
    int removed = 0;
    for (const QFileInfo& e : QDir(folder).entryInfoList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot)) {
        if (e.isSymLink() || keep.count(cleaned(e.absoluteFilePath()))) continue;
        if (removeSet(e.absoluteFilePath())) ++removed;
    }
    return removed;
}

void MultiFolderSets::removeUnreferenced(const QStringList& sets, Settings& settings) {
    const std::set<QString> keep = referencedSets(settings);
    for (const QString& set : sets)
        if (isSet(set) && !keep.count(cleaned(set))) removeSet(set);
}

}  // namespace qv
