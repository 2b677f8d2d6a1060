#include "sync/EntryDisposal.h"

#include "base/Messages.h"
#include "base/PathResolution.h"
#include "engine/UserPrompt.h"
#include "platform/FileCopy.h"
#include "platform/Trash.h"
#include "sync/KAuthCopy.h"
#include "sync/KMerge.h"

#include <cerrno>
#include <chrono>

namespace qv {
namespace {

double monotonicSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace

EntryDisposal::EntryDisposal(const MergeSettings& settings, UserPrompt& prompt, KCopyItem& copier)
    : m_settings(settings), m_prompt(prompt), m_copier(copier) {}

bool EntryDisposal::prepare(bool archiving, const std::string& datedName) {
    m_archiving = archiving;
    m_archive.reset();
    m_archivePath.clear();
    if (!archiving || m_settings.archiveFolder.empty()) return true;
    platform::UniqueFd folder;
    if (platform::openFolder(m_settings.archiveFolder, folder) != 0) return false;
    for (int n = 1; n < 1000; ++n) {
        const std::string name = n == 1 ? datedName : datedName + "-" + std::to_string(n);
        const int error = platform::makeFolderAt(folder.get(), name, m_archive);
        if (error == 0) {
            m_archivePath = joinPath(m_settings.archiveFolder, name);
            return true;
        }
        if (error != EEXIST) return false;
    }
    return false;
}

void EntryDisposal::beginRow(const std::string& rowPath, const std::string& rowRelative) {
    m_rowPath = rowPath;
    m_rowRelative = rowRelative;
    m_failure.clear();
}

std::string EntryDisposal::relativeOf(const std::string& path) const {
    if (path.size() > m_rowPath.size() && path.compare(0, m_rowPath.size(), m_rowPath) == 0 &&
        path[m_rowPath.size()] == '/')
        return m_rowRelative + path.substr(m_rowPath.size());
    return m_rowRelative;
}

EntryDisposer EntryDisposal::disposer() {
    return [this](const platform::EntryAt& entry, const std::string& path, bool folder, bool replaced) {
        return replaced ? disposeReplaced(entry, path, folder) : remove(entry, path);
    };
}

int EntryDisposal::remove(const platform::EntryAt& entry, const std::string& path) {
    if (!m_archivePath.empty()) {
        const int error = archive(entry, path);
        if (error == 0 || !continueWithoutArchive(path, error)) return error;
    }
    return trashOrDelete(entry, path);
}

int EntryDisposal::disposeReplaced(const platform::EntryAt& entry, const std::string& path, bool folder) {
    if (m_archiving) {
        const int error = archive(entry, path);
        if (error == 0 || !continueWithoutArchive(path, error)) return error;
    }
    return folder ? trashOrDelete(entry, path) : removeForGood(entry);
}

int EntryDisposal::archive(const platform::EntryAt& entry, const std::string& path) {
    if (m_archivePath.empty()) return platform::moveToTrashAt(entry, path);
    return moveIntoArchive(entry, relativeOf(path));
}

int EntryDisposal::moveIntoArchive(const platform::EntryAt& entry, const std::string& relative) {
    platform::HeldEntry target;
    if (int error = platform::locateBelow(m_archive.get(), m_archivePath, relative, target, true)) return error;
    // Both sides of a row may archive an entry of the same path: the second one
    // is kept beside the first.
    const std::string name = target.name;
    int error = EEXIST;
    for (int n = 1; error == EEXIST && n <= 1000; ++n) {
        if (n > 1) target.name = name + "." + std::to_string(n);
        error = platform::moveEntryAt(entry, target.at(), m_copier.copyIo());
    }
    if (error != EXDEV) return error;
    // Another volume: the archive receives a copy, then the original goes.
    if ((error = m_copier.copyAside(entry, target.at())) != 0) {
        platform::removePermanentlyAt(target.at());
        return error;
    }
    return removeForGood(entry);
}

int EntryDisposal::trashOrDelete(const platform::EntryAt& entry, const std::string& path) {
    if (m_settings.deletePermanently) return removeForGood(entry);
    const int error = platform::moveToTrashAt(entry, path);
    if (error == 0) return 0;
    if (deleteWhatTheTrashRefuses(path, error)) return removeForGood(entry);
    m_failure = Messages::format("syncNoTrash", errorText(error));
    return error;
}

int EntryDisposal::removeForGood(const platform::EntryAt& entry) {
    const int error = platform::removePermanentlyAt(entry);
    if (error == 0 || !KCopyItem::mayElevate(error) || !m_copier.elevationAllowed()) return error;
    QString output;
    const int status = m_copier.authCopy().RemoveByTerminal(platform::pathThrough(entry), &output);
    if (status == 0) return 0;
    if (status == KAuthCopy::AuthCancelled) {
        m_copier.iCancelRequested = true;
        return ECANCELED;
    }
    if (!output.isEmpty()) m_failure = output;
    return error;
}

bool EntryDisposal::continueWithoutArchive(const std::string& path, int error) {
    const QString where = m_archivePath.empty() ? Messages::text("trash")
                                                : QString::fromStdString(std::string(lastPathComponent(m_archivePath)));
    m_failure = Messages::format("archErr2", where, errorText(error));
    if (!m_prompt.showsUI() || error == ECANCELED) return false;
    Question question;
    question.message = Messages::text("archErr0");
    question.details = QString::fromStdString(path) + QStringLiteral("\n") + Messages::format("archErr1", where) +
                       QStringLiteral(" (") + errorText(error) + QLatin1Char(')');
    // The first answer is the one a run without a window takes: keep the entry.
    question.buttons = {Messages::text("BtnSkipItem"), Messages::text("BtnContinue")};
    const double asked = monotonicSeconds();
    const Answer answer = m_prompt.ask(question);
    if (m_pauseObserver) m_pauseObserver(monotonicSeconds() - asked);
    if (answer.button != 1) return false;
    m_failure.clear();
    return true;
}

bool EntryDisposal::deleteWhatTheTrashRefuses(const std::string& path, int error) {
    if (m_permanentWhenNoTrash) return true;
    if (!m_prompt.showsUI()) return false;
    Question question;
    question.message = Messages::text("syncTrashFailed0");
    question.details = Messages::format("syncTrashFailed1", QString::fromStdString(path), errorText(error));
    question.buttons = {Messages::text("BtnKeepItem"), Messages::text("BtnDeletePermanently")};
    question.offersSuppression = true;
    const double asked = monotonicSeconds();
    const Answer answer = m_prompt.ask(question);
    if (m_pauseObserver) m_pauseObserver(monotonicSeconds() - asked);
    if (answer.button != 1) return false;
    if (answer.suppress) m_permanentWhenNoTrash = true;
    return true;
}

}  // namespace qv
