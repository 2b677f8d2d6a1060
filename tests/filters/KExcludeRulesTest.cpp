#include "base/Settings.h"
#include "filters/KExcludeRules.h"

#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace qv {
namespace {

KExcludeRule rule(std::int64_t kind, const char* pattern, bool caseSensitive = false) {
    return KExcludeRule(kind, QString::fromUtf8(pattern), caseSensitive);
}

TEST(KExcludeRulesTest, ValidationFindsEmptyBadDuplicateAndCaseClashingRules) {
    KExcludeRules rules;
    auto& files = rules.rules(RuleList::FileRules);
    files = {rule(KRuleMatchSuffix, ""), rule(KRuleMatchRegex, "(["), rule(KRuleMatchPrefix, "abc"),
             rule(KRuleMatchPrefix, "abc"), rule(KRuleMatchContains, "abc"), rule(KRuleMatchContains, "ABC", true),
             rule(KRuleMatchSuffix, "x"), rule(KRuleMatchSuffix, "X"), rule(6, "odd")};
    EXPECT_EQ(KExcludeRules::validateRule(files[0], files, &files[0]), 1);
    EXPECT_EQ(KExcludeRules::validateRule(files[1], files, &files[1]), 4);
    EXPECT_EQ(KExcludeRules::validateRule(files[2], files, &files[2]), 2);
    EXPECT_EQ(KExcludeRules::validateRule(files[3], files, &files[3]), 2);
    EXPECT_EQ(KExcludeRules::validateRule(files[4], files, &files[4]), 3);
    EXPECT_EQ(KExcludeRules::validateRule(files[5], files, &files[5]), 3);
    EXPECT_EQ(KExcludeRules::validateRule(files[6], files, &files[6]), 0);   // both ignore case: fine
    EXPECT_EQ(KExcludeRules::validateRule(files[8], files, &files[8]), 0);

    // Only lists in force are checked.
    EXPECT_TRUE(rules.validateAllRules().empty());
    rules.setSwitch(RuleList::FileRules, true);
    rules.rules(RuleList::CompareOnlyFolderRules) = {rule(KRuleMatchWildcard, "")};
    rules.setSwitch(RuleList::CompareOnlyFolderRules, true);
    const auto issues = rules.validateAllRules();
    ASSERT_EQ(issues.size(), 7u);
    EXPECT_TRUE(issues[0].isFileTable);
    EXPECT_EQ(issues[0].tableMode, 1);
    EXPECT_EQ(issues[0].row, 0);
    EXPECT_TRUE(issues[1].message.contains(QStringLiteral("#2 (\"([\"): ")));
    EXPECT_FALSE(issues.back().isFileTable);
    EXPECT_EQ(issues.back().tableMode, 0);
}

TEST(KExcludeRulesTest, ListsInForceAndEmptyCompareOnlyLists) {
    KExcludeRules rules;
    rules.setSwitch(RuleList::CompareOnlyFileRules, true);
    EXPECT_FALSE(rules.CmpOnlyFilesEnabled());               // switched on but empty
    EXPECT_TRUE(rules.shouldCompareOnly(QStringLiteral("x"), true));
    rules.CorrectCheckboxes(nullptr);
    EXPECT_FALSE(rules.switchOn(RuleList::CompareOnlyFileRules));
    rules.rules(RuleList::CompareOnlyFileRules).push_back(rule(KRuleMatchSuffix, ".txt"));
    rules.setSwitch(RuleList::CompareOnlyFileRules, true);
    EXPECT_TRUE(rules.CmpOnlyFilesEnabled());
    EXPECT_TRUE(rules.shouldCompareOnly(QStringLiteral("a.TXT"), true));
    EXPECT_FALSE(rules.shouldCompareOnly(QStringLiteral("a.md"), true));
    EXPECT_TRUE(rules.shouldCompareOnly(QStringLiteral("a.md"), false));   // the folder list is empty
}

TEST(KExcludeRulesTest, StoredListsRoundTripAndUnreadableOnesAreKept) {
    QTemporaryDir dir;
    auto store = std::make_unique<QSettings>(dir.filePath(QStringLiteral("q.ini")), QSettings::IniFormat);
    QSettings* raw = store.get();
    Settings settings(std::move(store));

    KExcludeRules written;
    written.rules(RuleList::FolderRules) = {rule(KRuleMatchPath, "*/node_modules"), rule(KRuleMatchRegex, "\\d+", true)};
    written.setSwitch(RuleList::FolderRules, true);
    written.save(settings);

    KExcludeRules read;
    EXPECT_TRUE(read.load(settings).isEmpty());
    ASSERT_EQ(read.rules(RuleList::FolderRules).size(), 2u);
    EXPECT_EQ(read.rules(RuleList::FolderRules)[1].pattern(), QStringLiteral("\\d+"));
    EXPECT_TRUE(read.rules(RuleList::FolderRules)[1].caseSensitive());
    EXPECT_TRUE(read.FoldersExcludedEnabled());

    // A value edited by hand, and one from another version of the format.
    const QString edited = QStringLiteral("{\"version\":1,\"rules\":[{\"matchType\":\"zero\"}]}");
    raw->setValue(QStringLiteral("excludeFolderRules"), edited);
    raw->setValue(QStringLiteral("excludeFileRules"), QStringLiteral("{\"version\":7,\"rules\":[]}"));
    KExcludeRules broken;
    const QStringList unreadable = broken.load(settings);
    EXPECT_EQ(unreadable, (QStringList{QStringLiteral("excludeFileRules"), QStringLiteral("excludeFolderRules")}));
    EXPECT_TRUE(broken.rules(RuleList::FolderRules).empty());
    EXPECT_FALSE(broken.switchOn(RuleList::FolderRules));   // an empty list cannot stay on
    EXPECT_EQ(raw->value(QStringLiteral("excludeFolderRulesUnreadable")).toString(), edited);
    EXPECT_EQ(raw->value(QStringLiteral("excludeFolderRules")).toString(), edited);   // not overwritten by loading

    // A rule file carries every list and switch.
    KExcludeRules fromFile;
    ASSERT_TRUE(fromFile.fromJson(written.toJson()));
    EXPECT_EQ(fromFile.rules(RuleList::FolderRules).size(), 2u);
    EXPECT_TRUE(fromFile.switchOn(RuleList::FolderRules));
    EXPECT_FALSE(fromFile.fromJson(QStringLiteral("{\"version\":1,\"fileRules\":{\"on\":\"yes\"}}")));
    EXPECT_EQ(fromFile.rules(RuleList::FolderRules).size(), 2u);   // unchanged by a refused file
}

}  // namespace
}  // namespace qv
