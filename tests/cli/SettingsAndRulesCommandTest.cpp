#include "support/RunQuorvane.h"
#include "support/TempTree.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace qv::test {
namespace {

class SettingsAndRulesCommandTest : public ::testing::Test {
protected:
    QTemporaryDir config;
    CommandResult run(const QStringList& args) { return runQuorvane(args, config.path()); }
    QString storedText() {
        QFile f(config.filePath(QStringLiteral("Quorvane/Quorvane.ini")));
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }
};

TEST_F(SettingsAndRulesCommandTest, SettingsAreTypedAndBadInputChangesNothing) {
    EXPECT_EQ(run({"settings", "get", "exportDelimiter"}).out, ";\n");
    EXPECT_EQ(run({"settings", "set", "exportDelimiter", ","}).exitCode, 0);
    EXPECT_EQ(run({"settings", "get", "exportDelimiter"}).out, ",\n");
    const QString before = storedText();
    for (const QStringList& bad : {QStringList{"settings", "set", "optIgnoreSizeIn", "lots"},
                                   QStringList{"settings", "set", "noSuchKey", "1"},
                                   QStringList{"settings", "get", "noSuchKey"},
                                   QStringList{"settings", "frob"}}) {
        const CommandResult r = run(bad);
        EXPECT_EQ(r.exitCode, 2) << bad.join(' ').toStdString();
        EXPECT_TRUE(r.err.startsWith("quorvane: "));
    }
    EXPECT_EQ(storedText(), before);

    const CommandResult listed = run({"settings", "list", "--json"});
    ASSERT_EQ(listed.exitCode, 0);
    const QJsonArray rows = QJsonDocument::fromJson(listed.out).array();
    EXPECT_GT(rows.size(), 100);
    bool sawDelimiter = false;
    for (const QJsonValue& row : rows) {
        if (row[QStringLiteral("key")].toString() != QStringLiteral("exportDelimiter")) continue;
        sawDelimiter = true;
        EXPECT_EQ(row[QStringLiteral("default")].toString(), QStringLiteral(";"));
        EXPECT_EQ(row[QStringLiteral("value")].toString(), QStringLiteral(","));
        EXPECT_TRUE(row[QStringLiteral("stored")].toBool());
    }
    EXPECT_TRUE(sawDelimiter);
    EXPECT_EQ(run({"settings", "reset", "exportDelimiter"}).exitCode, 0);
    EXPECT_EQ(run({"settings", "get", "exportDelimiter"}).out, ";\n");
}

TEST_F(SettingsAndRulesCommandTest, RulesAreEditedCheckedAndAppliedToTheNextCompare) {
    TempTree left, right;
    left.file("keep.txt", 3);
    right.file("keep.txt", 3);
    left.file("cache.tmp", 1);

    EXPECT_EQ(run({"compare", q(left.root()), q(right.root())}).exitCode, 1);
    EXPECT_EQ(run({"rules", "add", "--list", "fileRules", "--match", "suffix", "--pattern", ".TMP"}).exitCode, 0);
    EXPECT_EQ(run({"compare", q(left.root()), q(right.root())}).exitCode, 1);   // the list is still off
    EXPECT_EQ(run({"rules", "enable", "fileRules"}).exitCode, 0);
    EXPECT_EQ(run({"compare", q(left.root()), q(right.root())}).exitCode, 0);

    // Refused additions leave the stored rules as they were.
    EXPECT_EQ(run({"rules", "add", "--list", "fileRules", "--match", "2", "--pattern", ".TMP"}).exitCode, 2);
    EXPECT_EQ(run({"rules", "add", "--list", "fileRules", "--match", "regex", "--pattern", "(["}).exitCode, 2);
    EXPECT_EQ(run({"rules", "add", "--list", "nowhere", "--pattern", "x"}).exitCode, 2);
    EXPECT_EQ(run({"rules", "add", "--list", "fileRules", "--match", "sideways", "--pattern", "x"}).exitCode, 2);
    const CommandResult listed = run({"rules", "list", "--json"});
    const QJsonObject files = QJsonDocument::fromJson(listed.out).object()[QStringLiteral("fileRules")].toObject();
    EXPECT_TRUE(files[QStringLiteral("on")].toBool());
    EXPECT_EQ(files[QStringLiteral("rules")].toArray().size(), 1);
    EXPECT_EQ(run({"rules", "check"}).exitCode, 0);

    // A rule file stands in for the stored rules for one run only.
    TempTree dir;
    dir.fileWithText("rules.json", R"({"version":1,"fileRules":{"on":true,"rules":[{"matchType":1,"pattern":"","caseSensitive":false}]}})");
    const CommandResult blocked = run({"compare", "--rules", q(dir.path("rules.json")), q(left.root()), q(right.root())});
    EXPECT_EQ(blocked.exitCode, 2);   // an empty pattern in force stops the run before it starts
    EXPECT_TRUE(blocked.out.isEmpty());
    EXPECT_EQ(run({"compare", "--rules", q(left.root()) + "/keep.txt", q(left.root()), q(right.root())}).exitCode, 2);

    EXPECT_EQ(run({"rules", "remove", "--list", "fileRules", "--index", "1"}).exitCode, 0);
    EXPECT_EQ(run({"compare", q(left.root()), q(right.root())}).exitCode, 1);
}

TEST_F(SettingsAndRulesCommandTest, UnreadableStoredRulesAreReportedAndKept) {
    {
        QSettings raw(config.filePath(QStringLiteral("Quorvane/Quorvane.ini")), QSettings::IniFormat);
        raw.setValue(QStringLiteral("excludeFileRules"), QStringLiteral("not json at all"));
        raw.setValue(QStringLiteral("exclFilesOn"), true);
    }
    TempTree left, right;
    left.file("a", 1);
    right.file("a", 1);
    const CommandResult r = run({"compare", q(left.root()), q(right.root())});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.err.contains("excludeFileRules")) << r.err.toStdString();
    QSettings raw(config.filePath(QStringLiteral("Quorvane/Quorvane.ini")), QSettings::IniFormat);
    EXPECT_EQ(raw.value(QStringLiteral("excludeFileRulesUnreadable")).toString(), QStringLiteral("not json at all"));
}

TEST_F(SettingsAndRulesCommandTest, ABacktrackingRuleIsFlaggedByCheckAndCannotHoldAComparison) {
    TempTree left, right;
    const QString hostile = QString(41, 'a') + '!';
    left.file(hostile.toStdString(), 2);
    right.file(hostile.toStdString(), 2);
    left.file("aaa", 1);
    EXPECT_EQ(run({"rules", "add", "--list", "fileRules", "--match", "regex", "--pattern", "(a+)+$"}).exitCode, 0);
    EXPECT_EQ(run({"rules", "enable", "fileRules"}).exitCode, 0);

    const CommandResult checked = run({"rules", "check"});
    EXPECT_EQ(checked.exitCode, 1);
    EXPECT_TRUE(checked.out.contains("(a+)+$")) << checked.out.toStdString();
    EXPECT_FALSE(checked.out.contains("No problems")) << checked.out.toStdString();

    // The name that would take hours is compared as if the rule did not match
    // it, and the rule is named once on stderr.
    const CommandResult r = runQuorvane({"compare", q(left.root()), q(right.root()), "--json"}, config.path(), 20000);
    ASSERT_NE(r.exitCode, -1) << "the comparison hung";
    EXPECT_TRUE(r.out.contains(hostile.toUtf8())) << r.out.toStdString();
    EXPECT_EQ(r.err.count("(a+)+$"), 1) << r.err.toStdString();
}

TEST_F(SettingsAndRulesCommandTest, ValuesThatMakeNoSenseAreRefusedStoredOrGivenForOneRun) {
    struct Bad {
        const char* key;
        const char* value;
    };
    const Bad refused[] = {{"optIgnoreSizeValue", "-5"}, {"optIgnoreSizeValue", "1e3"}, {"optIgnoreSizeValue", "ten"},
                           {"exportDelimiter", ""},      {"exportDelimiter", ";;"},   {"fileType", "7"},
                           {"optimizedFor", "-1"},       {"exportIndent", "30"},      {"exportPrefixChar", "ab"}};
    const QString before = storedText();
    for (const Bad& b : refused) {
        const CommandResult stored = run({"settings", "set", b.key, b.value});
        EXPECT_EQ(stored.exitCode, 2) << b.key << "=" << b.value;
        EXPECT_TRUE(stored.err.contains(b.key)) << stored.err.toStdString();
        TempTree left, right;
        const CommandResult once = run({"compare", q(left.root()), q(right.root()), "--set",
                                        QString::fromLatin1(b.key) + '=' + QString::fromLatin1(b.value)});
        EXPECT_EQ(once.exitCode, 2) << b.key << "=" << b.value;
    }
    EXPECT_EQ(storedText(), before);
    for (const Bad& good : {Bad{"optIgnoreSizeValue", "100"}, Bad{"optIgnoreSizeValue", ""}, Bad{"exportDelimiter", "\t"},
                            Bad{"fileType", "3"}, Bad{"exportPrefixChar", ""}})
        EXPECT_EQ(run({"settings", "set", good.key, good.value}).exitCode, 0) << good.key << "=" << good.value;

    // A value edited into the file by hand that makes no sense reads as the default.
    {
        QSettings raw(config.filePath(QStringLiteral("Quorvane/Quorvane.ini")), QSettings::IniFormat);
        raw.setValue(QStringLiteral("optIgnoreSizeValue"), QStringLiteral("-100"));
        raw.setValue(QStringLiteral("optIgnoreSize"), true);
    }
    EXPECT_EQ(run({"settings", "get", "optIgnoreSizeValue"}).out, "\n");
    TempTree left, right;
    left.file("same", 10);
    right.file("same", 10);
    // A negative allowance would make equal sizes differ.
    EXPECT_EQ(run({"compare", q(left.root()), q(right.root())}).exitCode, 0);
}

}  // namespace
}  // namespace qv::test
