#include "base/Messages.h"

#include <QDirIterator>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <map>

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
    {"StatusLabelItem", 1}, {"comparingF", 1}, {"csMsg2", 1}, {"readErrorLine", 2}, {"rootUnreadable", 2},
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
};

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
