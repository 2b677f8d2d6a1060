#include "base/Messages.h"

#include "base/BuiltInMessages.h"

#include <QDirIterator>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <QRegularExpression>

#include <map>
#include <set>

namespace qv {
namespace {

QJsonObject tableOf(const QString& resource) {
    QFile file(resource);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << resource.toStdString();
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << resource.toStdString();
    return doc.object();
}

// The number of arguments each call site passes to a formatted text.
const std::map<std::string, int> kFormattedKeys = {
    {"StatusLabelItem", 1}, {"StatusLabelBytes", 3}, {"StatusLabelShare", 5}, {"comparingF", 1}, {"csMsg2", 1}, {"readErrorLine", 2}, {"rootUnreadable", 2},
    {"summaryItems", 2}, {"cliUnknownCommand", 1}, {"cliUnknownOption", 1},
    {"cliMissingValue", 1}, {"cliUnknownKey", 1}, {"cliBadSetSyntax", 1}, {"cliBadValue", 3},
    {"cliBadFolderSet", 1}, {"cliRulesUnreadable", 1}, {"cliBadRuleFile", 1}, {"cliUnknownList", 1},
    {"cliBadMatchKind", 1}, {"FoldersDiff", 1}, {"difsAndOrph", 2}, {"byteCount", 1}, {"cliNoDifference", 1},
    {"cliNoSuchPath", 1}, {"cliBadSort", 1}, {"cliBadFilter", 1}, {"cliBadStateOrder", 1},
    {"expSuccess", 1}, {"expFailed", 2}, {"creSnap", 1}, {"itemsScanned", 2}, {"snapReady1", 3},
    {"snapDetails", 4}, {"fcBadDiffOutput", 1}, {"fcToolMissing", 1}, {"fcToolFailed", 2}, {"fcCannotOpen", 1},
    {"fcTempFailed", 1}, {"fcDiffCount", 2}, {"cliNotAFile", 1}, {"cliBadPlan", 1}, {"cliPlanNoChange", 1},
    {"cliOutExists", 1}, {"cliNoHistoryEntry", 1}, {"cliWriteFailed", 2}, {"cliMergeWritten", 2}, {"cliSnapshotWritten", 1}, {"cliSnapshotFailed", 2}, {"cliBadSnapshotSort", 1}, {"cliRuleRefused", 1}, {"cliListOff", 1}, {"cliNoSuchRule", 1}, {"cliSettingStored", 2},
    {"itmsToProcess", 1}, {"archErr1", 1}, {"cliNameConflict", 1}, {"cliArchiveNotFolder", 1},
    {"cliArchiveInside", 1}, {"cliSyncHead", 2}, {"cliBadActionPlan", 1}, {"cliMarkNeedsName", 1},
    {"cliMarkRefused", 2}, {"cliUnknownAction", 1}, {"syncNoTrash", 1}, {"syncTrashFailed1", 2}, {"archErr2", 2},
    {"cliRemoves", 3}, {"cliRemovesForGood", 3}, {"cliRemovesArchived", 3}, {"cliRunBusy", 1}, {"cliRunLockFailed", 2}, {"cliOutReadOnly1", 1},
    {"cliOutReadOnlyKept", 1}, {"cliOutDangling", 1},
    {"updateHttpStatus", 2}, {"updateNoLength", 1}, {"updateWrongSize", 1}, {"updateTooLarge", 1},
    {"updateEmpty", 1}, {"updateTruncated", 1}, {"updateNetwork", 2}, {"updateCannotWrite", 2},
    {"updateUnreadableArchive", 2}, {"updateEntryAbsolute", 1}, {"updateEntryDotDot", 1},
    {"updateEntryLinkOutside", 1}, {"updateEntrySpecial", 1}, {"updateEntryOutsideTop", 1},
    {"updateArchiveBroken", 1}, {"updateUnpackFailed", 2}, {"updateNotReleaseFolder", 1},
    {"updateNoInstallFolder", 1}, {"updateBackupFailed", 2}, {"updateMoveFailed", 2}, {"updateSmokeFailed", 1},
    {"updateBackupKept", 1}, {"updateNoElevation", 1}, {"updateElevatedFailed", 1}, {"updateInstalled", 2},
    {"updVersions", 2}, {"updBytes", 2}, {"updBytesAndTime", 2}, {"updSecondsLeft", 1}, {"updMinutesLeft", 1}, {"updInstallFailed", 1},
    {"cliUpdateNewVersion", 2}, {"cliUpdateUpToDate", 1}, {"cliUpdateDownloading", 1},
    {"updateSyncMsg1", 3}, {"updateSyncMsg2", 2}, {"mirrSyncMsg1", 2}, {"mirrSyncMsg2", 2}, {"delMirr1", 2},
    {"mirrSyncMsg3", 2}, {"addTag1", 1}, {"addTag2", 1}, {"NoNewVersion2", 1}, {"MsgFileCreErr1", 1},
    {"nameConflict1L", 1}, {"nameConflict1R", 1}, {"cliBadColumns", 1}, {"treeRightName", 1},
    {"archiveFolder", 1}, {"chooseFolderFor", 1}, {"cliNoHelperProgram", 2}, {"cliNoWindowProgram", 2}, {"executeMenuCount", 1},
    {"cliScriptComparison", 4}, {"cliScriptNoApplication", 1}, {"cliScriptUnknownCommand", 1}, {"cliScriptNotKeyValue", 1},
    {"executionFigures", 4}, {"folderCounts", 2}, {"lockedEntry", 1}, {"dropCopying", 2}, {"dropFailed", 1},
    {"cliInternalError", 1}, {"inputNotRegular", 1},
    {"inputTooLarge", 2}, {"ruleTimedOut", 1}, {"expectRange", 2},
    {"cliWrongArgCount", 1},
    {"syncNameTaken", 1}, {"cliBadName", 2}, {"cliBadNewName", 3}, {"cliBadRenameMode", 1},
    {"cliNameUnchanged", 2}, {"cliTagsFailed", 2}, {"cliTagNoComma", 1},
    {"cliUnexpectedArgument", 1},
    {"cliActions.one", 1},
    {"cliActions.other", 1},
    {"cliErrors.one", 1},
    {"cliErrors.other", 1},
    {"cliDifferences.one", 1},
    {"cliDifferences.other", 1},
    {"cliItems.one", 1},
    {"cliItems.other", 1},
    {"cliBadExclude", 1},
    {"cliExcludeLineIgnored", 2},
    {"cliBinaryDiffer", 2},
    {"cliPlanUnnamed", 1},
    {"cliNoSuchFile", 1},
    {"cliNeedsMark", 1},
    {"cliNestedRoots", 2},
    {"cliMassDeletion", 3},
    {"cliGivenTwice", 1},
    {"massDeletionLeft", 2},
    {"massDeletionRight", 2},
    {"chooseFileFor", 1}, {"miniMapCount", 1}, {"mergeA11yTaken", 1}, {"fcInfoLeft", 2}, {"fcInfoRight", 2},
    {"fcChangedOnDisk", 1}, {"fcChangedOnDisk1", 1}, {"fcReadOnly1", 1}, {"fcSaved", 1}, {"fcA11yLine", 2},
    {"fcA11yChangedLine", 2}, {"fcA11yOneSidedLine", 2}, {"hexPageOf", 2}, {"snapA11yFolder", 1},
    {"snapA11yFile", 1}, {"insUnreadable", 1}, {"insLeftValue", 1}, {"insRightValue", 1},
};

// Keys that the windows, sheets and alerts look up, several of them before
// the code that shows them is written: each must have a text already.
const char* const kWindowKeys[] = {
    "notSet", "equal", "equal2", "notequal", "onLeft", "onRight", "noEntry", "notequalrsrc", "notequaltags",
    "sortOrder", "sortOrderMsg", "close", "tooltipPattern", "tooltipWildcard", "tooltipWildcardFolder",
    "tooltipPathMatchFile", "tooltipPathMatchFolder", "tooltipRegex", "tooltipRegexFolder", "openSnap1", "select",
    "caclMD5Btn", "caclMD5Desc", "saveSnap0", "saveSnap1", "saveSnap2", "saveBtn", "dontSaveBtn", "creSnap",
    "itemsScanned", "snapReady1", "NameC", "size", "CreatedC", "ModifiedC", "KindC", "TagsC", "MD5", "fot",
    "decodeSnap", "snapErr0", "snapErr1", "copyF2", "delF2", "item", "items", "mergeClear", "mergeClear1",
    "mergeClear0", "mergeClear2", "ClearBtn", "cancel", "OK", "mirrL", "mirrR", "delWindowTitle", "delMarkBtn",
    "BtnCancel", "scan", "overview", "mirrSyncMsg0", "delMirr2", "updateSyncMsg3", "updateSyncMsg1",
    "updateSyncMsg2", "mirrSyncMsg1", "mirrSyncMsg2", "delMirr1", "mirrSyncInfo1", "updateSyncInfo1",
    "mirrorUpdateDiff0", "mirrorUpdateDiff", "mirrSyncMsg4", "syncMsg1", "mirrSyncMsg3", "mirrL1", "mirrR1",
    "mirrSyncMsg6", "mirrSyncMsg5", "mirrSyncMsg5a", "updateSyncMsg5", "copyOk", "notCopied", "disabled",
    "warning", "owWarning", "moveToTrash", "mergeArch", "trash", "archFolderChanged", "identWarn0", "identWarn1",
    "abort", "mergeErrorTool", "showTrashed", "mergeMsg1", "mergeMsg2", "rescan", "archErr0", "archErr1",
    "BtnContinue", "StopBtn", "dragInfo", "newName", "addText", "replText", "renMsg", "renMsg2", "afterMsg",
    "beforeMsg", "replWith", "Language", "example", "tColors", "addTag1", "addTag2", "addTag3", "FilesEqual",
    "FilesEqual2", "FilesDiff", "fileMetaDiff", "fileTagsDiff", "difference", "differences", "fcInfo0", "fcInfo1",
    "fcInfo2", "expFolders", "FoldersDiff0", "FoldersEqual", "expExporting", "expSuccess", "expSuccess2",
    "expShowInFinder", "Ok", "clearMenu", "arrangeHist", "arrHistItems", "delItms", "lockedM", "lockedS",
    "fdaMsg0", "fdaMsg1", "fdaMsg2", "fdaMsg3", "fdaMsg4", "fdaMsg5", "tabSaveQuit0", "tabSaveQuit1",
    "tabSaveQuit2", "NoNewVersion", "NoNewVersion2", "MsgFileCreErr1", "BtnDown", "appTrans0", "appTrans1",
    "restarting", "filterIsOn", "filterIsOn2", "difsAndOrph", "filesAndFolders1", "filesAndFolders2",
    "calcFolderSizes", "comparing", "comparingF", "scanning", "aborting", "TaskAborted", "csMsg1", "csMsg2",
};

// The string literals of a look-up's first argument that stand outside any
// nested call: `side ? "a" : "b"` gives both, `std::string("x") == k ? …` not "x".
void firstArgumentLiterals(const QString& source, qsizetype from, std::set<std::string>& keys) {
    int depth = 0;
    for (qsizetype i = from; i < source.size(); ++i) {
        const QChar c = source[i];
        if (c == '"') {
            const qsizetype end = source.indexOf('"', i + 1);
            if (end < 0) return;
            if (depth == 0) keys.insert(source.mid(i + 1, end - i - 1).toStdString());
            i = end;
        } else if (c == '(') {
            ++depth;
        } else if (c == ')') {
            if (depth-- == 0) return;
        } else if ((c == ',' || c == ';') && depth == 0) {
            return;
        }
    }
}

// The keys the code passes to the table: the first argument of every look-up,
// and the literal keys handed to the few functions that look a key up later.
std::set<std::string> keysLookedUpIn(const QString& source) {
    static const QRegularExpression lookUp(
        QStringLiteral(R"re(Messages::(?:text|format)\(|(?:showAlert|scanPhase|part)\(|snapshotFailure\([^,]*,|const char\* key =)re"));
    std::set<std::string> keys;
    for (auto m = lookUp.globalMatch(source); m.hasNext();) firstArgumentLiterals(source, m.next().capturedEnd(), keys);
    return keys;
}

TEST(MessagesTest, EveryTableHoldsTheRightPlaceholdersForEachKey) {
    const QJsonObject english = tableOf(QStringLiteral(":/messages/en.json"));
    ASSERT_FALSE(english.isEmpty());
    for (auto it = english.begin(); it != english.end(); ++it) {
        const std::string key = it.key().toStdString();
        const QString text = it.value().toString();
        EXPECT_FALSE(text.trimmed().isEmpty()) << key;
        const auto expected = kFormattedKeys.find(key);
        EXPECT_EQ(Messages::placeholderCount(text), expected == kFormattedKeys.end() ? 0 : expected->second) << key;
    }
    for (const auto& [key, count] : kFormattedKeys) EXPECT_TRUE(english.contains(QString::fromStdString(key))) << key;

    // Every other language has the same keys' placeholders as English.
    QDirIterator languages(QStringLiteral(":/messages"));
    while (languages.hasNext()) {
        const QString file = languages.next();
        const QJsonObject table = tableOf(file);
        for (auto it = table.begin(); it != table.end(); ++it) {
            ASSERT_TRUE(english.contains(it.key())) << file.toStdString() << ": " << it.key().toStdString();
            EXPECT_EQ(Messages::placeholderCount(it.value().toString()),
                      Messages::placeholderCount(english.value(it.key()).toString()))
                << file.toStdString() << ": " << it.key().toStdString();
        }
    }
}

TEST(MessagesTest, EveryKeyLookedUpHasAnEnglishText) {
    const QJsonObject english = tableOf(QStringLiteral(":/messages/en.json"));
    std::set<std::string> used;
    QDirIterator sources(QStringLiteral(QV_SOURCE_DIR), {QStringLiteral("*.cpp"), QStringLiteral("*.h")}, QDir::Files,
                         QDirIterator::Subdirectories);
    int files = 0;
    while (sources.hasNext()) {
        QFile file(sources.next());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << file.fileName().toStdString();
        const std::set<std::string> keys = keysLookedUpIn(QString::fromUtf8(file.readAll()));
        used.insert(keys.begin(), keys.end());
        ++files;
    }
    ASSERT_GT(files, 50);
    // The scan must see the look-ups it is meant to see, of every form.
    for (const char* key : {"mergeClear", "emptyLeft", "comparing", "snapErrDamaged", "procAbort", "copyF2", "treeIgnored",
                            "cliLeftToRight", "nameConflict1R"})
        EXPECT_TRUE(used.count(key)) << key;
    used.insert(std::begin(kWindowKeys), std::end(kWindowKeys));
    // Option, argument and command texts are named by key where the command line declares them.
    QDirIterator cli(QStringLiteral(QV_SOURCE_DIR), {QStringLiteral("*.cpp")}, QDir::Files, QDirIterator::Subdirectories);
    static const QRegularExpression declared(QStringLiteral(R"re("(cli(?:Opt|Arg|Cmd|Example)[A-Za-z]*)")re"));
    static const QRegularExpression plural(QStringLiteral(R"re(Messages::plural(?:Text)?\("([A-Za-z]+)")re"));
    while (cli.hasNext()) {
        QFile file(cli.next());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(file.readAll());
        for (auto m = declared.globalMatch(text); m.hasNext();) used.insert(m.next().captured(1).toStdString());
        for (auto m = plural.globalMatch(text); m.hasNext();) {
            const std::string key = m.next().captured(1).toStdString();
            used.insert(key + ".one");
            used.insert(key + ".other");
        }
    }
    EXPECT_TRUE(used.count("cliOptJson") && used.count("cliItems.other"));
    for (const std::string& key : used) EXPECT_TRUE(english.contains(QString::fromStdString(key))) << key;

    EXPECT_EQ(keysLookedUpIn(QStringLiteral(R"re(Messages::format(side ? "a1" : "b2", QStringLiteral("notAKey"));)re")),
              (std::set<std::string>{"a1", "b2"}));
    EXPECT_EQ(keysLookedUpIn(QStringLiteral(R"re(Messages::text(d == std::string("lr") ? "c3" : "d4"));)re")),
              (std::set<std::string>{"c3", "d4"}));
}

// The English texts are compiled in from the file: every one must come out
// as the file has it, whatever it holds (quotes, backslashes, line breaks,
// characters beyond ASCII), and be found by its key.
TEST(MessagesTest, TheCompiledEnglishTextsAreTheFilesTexts) {
    const QJsonObject english = tableOf(QStringLiteral(":/messages/en.json"));
    ASSERT_TRUE(Messages::useLanguage(QStringLiteral("en_GB")));
    EXPECT_EQ(kBuiltInMessages.size(), std::size_t(english.size()));
    for (auto it = english.begin(); it != english.end(); ++it)
        EXPECT_EQ(Messages::text(it.key().toUtf8().constData()), it.value().toString()) << it.key().toStdString();
}

TEST(MessagesTest, LookUpFallsBackToTheKeyAndFormatsInOnePass) {
    EXPECT_EQ(Messages::text("noSuchKeyAnywhere"), QStringLiteral("noSuchKeyAnywhere"));
    EXPECT_FALSE(Messages::text("aborting").isEmpty());
    EXPECT_NE(Messages::text("aborting"), QStringLiteral("aborting"));
    // An argument that looks like a placeholder is inserted as it is.
    const QString text = Messages::format("cliBadValue", QStringLiteral("%2%3"), QStringLiteral("key"), QStringLiteral("bool"));
    EXPECT_TRUE(text.contains(QStringLiteral("%2%3"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("key")));
    EXPECT_EQ(Messages::format("StatusLabelItem", 42).count(QStringLiteral("42")), 1);
    EXPECT_FALSE(Messages::useLanguage(QStringLiteral("xx_NOPE")));
}

}  // namespace
}  // namespace qv
