#include "app/QuorvaneModule.h"
#include "base/Settings.h"
#include "scripting/KQuorvaneASCommand.h"
#include "scripting/KQuorvaneScripting.h"
#include "scripting/ScriptableComparison.h"
#include "scripting/ScriptingHost.h"

#include <QPointer>

#include <sys/stat.h>

namespace qv {
namespace {

enum class PathKind { Missing, Folder, File };

PathKind kindOf(const std::string& path) {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0) return PathKind::Missing;
    return S_ISDIR(st.st_mode) ? PathKind::Folder : PathKind::File;
}

// The "fileType" a compare method stands for: text 1, binary 2, quick 3, anything else automatic.
int fileTypeOf(const QString& code) {
    if (code == QLatin1String(codes::kCompareText)) return 1;
    if (code == QLatin1String(codes::kCompareBinary)) return 2;
    if (code == QLatin1String(codes::kCompareQuick)) return 3;
    return 0;
}

}  // namespace

void KQuorvaneCompareCommand::performDefaultImplementation(ScriptReply reply) {
    const bool comparisonGiven = has("Comparison");
    const bool leftGiven = has("Left"), rightGiven = has("Right");
    ScriptableComparison* existing = nullptr;
    std::string left, right;
    if (!comparisonGiven) {
        if (!leftGiven || !rightGiven) return reply({script_errors::compareBothPaths(), 0, {}});
        left = scriptPath(argument("Left"));
        right = scriptPath(argument("Right"));
        const PathKind l = kindOf(left), r = kindOf(right);
        if (l == PathKind::Missing || r == PathKind::Missing) return reply({script_errors::comparePathMissing(), 0, {}});
        if (l != r) return reply({script_errors::compareMixed(), 0, {}});
        if (l == PathKind::File && has("CompareMethod"))
            m_settings.store(QStringLiteral("fileType"), fileTypeOf(argument("CompareMethod").toString()));
    } else {
        if (leftGiven || rightGiven) return reply({script_errors::compareEitherOr(), 0, {}});
        ScriptError error;
        existing = namedComparison(error);
        if (!existing) return reply({error, 0, {}});
    }
    setDefaultsBoolIfPresent("ByContent", "optCmpContents");
    setDefaultsBoolIfPresent("IgnoringDates", "optIgnoreDates");
    setDefaultsBoolIfPresent("CompareEverything", "cmpEverything");
    setDefaultsBoolIfPresent("Subfolders", "opCmpSubfolders");

    if (!existing) {
        const bool showUI = has("ShowUI") ? boolArgument("ShowUI") : true;
        m_scripting.OpenComparisonWithLeftPath(left, right, showUI, [reply](int id, const ScriptError& error) {
            reply({error, id, {}});
        });
        return;
    }
    if (has("ShowUI")) existing->setIShowUI(boolArgument("ShowUI"));
    if (existing->iShowUI()) existing->selectTab(0);
    const int id = existing->iUniqueASID();
    QPointer<ScriptingHost> host(&m_scripting.host());
    existing->CompareItem1(existing->leftPath(), existing->rightPath(), [host, id, reply](bool ok) {
        if (host)
            if (ScriptableComparison* c = host->comparison(id)) {
                c->setRunState(ok ? QStringLiteral("compared") : QStringLiteral("failed"));
                emit host->comparisonChanged(id);
            }
        if (ok) reply({{}, id, {}});
        else reply({script_errors::compareNotRerun(), 0, {}});
    });
    if (host) emit host->comparisonChanged(id);   // comparing, maybe shown or hidden
}

void KQuorvaneSyncCommand::performDefaultImplementation(ScriptReply reply) {
    const bool comparisonGiven = has("Comparison");
    const bool pairGiven = has("Left") || has("Right");
    if (comparisonGiven == pairGiven) return reply({script_errors::syncEitherOr(), 0, {}});
    if (pairGiven && !(has("Left") && has("Right"))) return reply({script_errors::syncBothFolders(), 0, {}});
    if (!has("SyncType") || !has("Direction")) return reply({script_errors::syncTypeAndDirection(), 0, {}});
    const QString type = argument("SyncType").toString(), direction = argument("Direction").toString();
    if (direction == QLatin1String(codes::kBothWays) && type == QLatin1String(codes::kMirror))
        return reply({script_errors::syncBothWaysMirror(), 0, {}});
    ScriptableComparison* existing = nullptr;
    if (comparisonGiven) {
        ScriptError error;
        existing = namedComparison(error);
        if (!existing) return reply({error, 0, {}});
    }
    setDefaultsBoolIfPresent("OrphansOnly", "mirrorOnlyOrphan");
    setDefaultsBoolIfPresent("DeleteExtraItems", "mirrorDelDest");

    KQuorvaneScripting& scripting = m_scripting;
    const auto answer = [reply](int id, const ScriptError& error) { reply({error, id, {}}); };
    if (existing) {
        if (has("ShowUI")) existing->setIShowUI(boolArgument("ShowUI"));
        scripting.SyncComparison(existing->iUniqueASID(), type, direction, answer);
        return;
    }
    const bool showUI = has("ShowUI") ? boolArgument("ShowUI") : true;
    scripting.OpenComparisonWithLeftPath(
        scriptPath(argument("Left")), scriptPath(argument("Right")), showUI,
        [&scripting, type, direction, answer](int id, const ScriptError& error) {
            if (id == 0) return answer(0, error);
            scripting.SyncComparison(id, type, direction, answer);
        });
}

void KQuorvaneExecuteCommand::performDefaultImplementation(ScriptReply reply) {
    // Stored before any check: a refused execute has already changed them.
    setDefaultsBoolIfPresent("OverwriteIdentical", "dontOverwiteIdentical", true);
    setDefaultsBoolIfPresent("DeletePermanently", "mergeDelPermanent");
    const bool toTrash = has("ArchiveToTrash") && boolArgument("ArchiveToTrash");
    const bool toFolder = has("ArchiveToFolder");
    const bool none = has("NoArchive") && boolArgument("NoArchive");
    if (int(toTrash) + int(toFolder) + int(none) > 1) return reply({script_errors::executeArchiveChoices(), 0, {}});
    std::optional<QString> archive;
    if (toTrash) archive = QStringLiteral("#TRASH!");
    else if (toFolder) archive = argument("ArchiveToFolder").toString();
    else if (none) archive = QStringLiteral("#NOARCHIVE!");
    if (!has("Comparison")) return reply({script_errors::executeNeedsComparison(), 0, {}});
    ScriptError error;
    ScriptableComparison* existing = namedComparison(error);
    if (!existing) return reply({error, 0, {}});
    m_scripting.ExecuteComparison(existing->iUniqueASID(), archive, [reply](bool ok, const ScriptError& e) {
        reply({e, 0, ok});
    });
}

void KQuorvaneCloseCommand::performDefaultImplementation(ScriptReply reply) {
    if (!has("Comparison")) return reply({script_errors::closeNeedsComparison(), 0, {}});
    ScriptError error;
    ScriptableComparison* existing = namedComparison(error);
    if (!existing) return reply({error, 0, {}});
    existing->closeFromScript();
    reply({});
}

}  // namespace qv
