#pragma once
// Where an execution puts what it takes away, under one rule for every
// row: entries the plan deletes, entries a copy removes to make room, and
// entries a copy replaces.
//
// - Deleted and removed entries go into the archive folder when archiving
//   to one; otherwise to the trash, or for good when deletions are
//   permanent. A trash that cannot be had fails the row, unless the user
//   says to delete for good (a question in a window; a headless run keeps
//   the entry and fails the row).
// - Replaced entries are archived (to the folder or the trash) when
//   archiving is on. Otherwise a replaced folder is removed as a deletion
//   is, since it may hold what the copy lacks, and a replaced file or link
//   is dropped (that is what overwriting means).
// - An archive that fails fails the row; archiving never switches itself
//   off. In a window the user may let that one entry go without it.

#include "platform/PathWalk.h"
#include "sync/KCopyItem.h"

#include <QString>

#include <functional>
#include <string>

namespace qv {

class UserPrompt;
struct MergeSettings;

class EntryDisposal {
public:
    EntryDisposal(const MergeSettings& settings, UserPrompt& prompt, KCopyItem& copier);

    // Makes the dated archive folder `datedName` when archiving to a folder
    // (the name followed by "-2", "-3"… when taken: an earlier run's archive
    // is never reused); false when it cannot be made.
    bool prepare(bool archiving, const std::string& datedName);
    // Told how long a question kept the run waiting, so the speed stays right.
    void setPauseObserver(std::function<void(double seconds)> observer) { m_pauseObserver = std::move(observer); }
    bool archiving() const { return m_archiving; }
    // The dated archive folder ("" unless archiving to a folder).
    const std::string& archiveFolder() const { return m_archivePath; }

    // The row about to run: where its entry stands on the side being
    // changed, and its path below the compared folders (the archive
    // keeps entries under that path).
    void beginRow(const std::string& rowPath, const std::string& rowRelative);

    // An entry the plan deletes, or one a copy removes to make room.
    int remove(const platform::EntryAt& entry, const std::string& path);
    // An entry a copy replaced, now at `entry` (a passing name).
    int disposeReplaced(const platform::EntryAt& entry, const std::string& path, bool folder);
    // What KCopyItem calls for both.
    EntryDisposer disposer();

    // Why the last failing call failed, in words for the row ("" when the
    // returned errno says it all).
    const QString& failure() const { return m_failure; }
    // Whether the last call was cancelled by the user (an authorisation dismissed).
    bool cancelled() const { return m_copier.iCancelRequested.load(); }

private:
    int archive(const platform::EntryAt& entry, const std::string& path);
    int moveIntoArchive(const platform::EntryAt& entry, const std::string& relative);
    int trashOrDelete(const platform::EntryAt& entry, const std::string& path);
    int removeForGood(const platform::EntryAt& entry);
    bool continueWithoutArchive(const std::string& path, int error);
    bool deleteWhatTheTrashRefuses(const std::string& path, int error);
    std::string relativeOf(const std::string& path) const;

    const MergeSettings& m_settings;
    UserPrompt& m_prompt;
    KCopyItem& m_copier;
    bool m_archiving = false;
    platform::UniqueFd m_archive;   // the dated folder
    std::string m_archivePath;
    std::string m_rowPath, m_rowRelative;
    bool m_permanentWhenNoTrash = false;   // the user's answer, kept for the run
    QString m_failure;
    std::function<void(double)> m_pauseObserver;
};

}  // namespace qv
