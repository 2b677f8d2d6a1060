// The command line as its users meet it: help for every command, arguments
// that stay bytes, plain output that keeps odd names on one line, colour,
// counts in words, and the completion that must know every option.

#include "support/RunQuorvane.h"
#include "support/TempTree.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <set>

namespace qv::test {
namespace {

// Runs a shell line with $Q set to the program, for arguments QProcess cannot carry (bytes that are not UTF-8).
CommandResult runShell(const QString& line, const QStringList& env = {}) {
    QProcess p;
    QStringList environment = QProcess::systemEnvironment();
    environment << QStringLiteral("Q=" QUORVANE_BIN) << env;
    p.setEnvironment(environment);
    p.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), line});
    if (!p.waitForFinished(60000)) p.kill();
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
            p.readAllStandardError()};
}

// The long options a help text lists.
std::set<QString> optionsIn(const QByteArray& help) {
    std::set<QString> options;
    static const QRegularExpression option(QStringLiteral(R"((?:^|[ ,])(--[a-z][a-z0-9-]*))"));
    for (const QByteArray& line : help.split('\n'))
        for (auto m = option.globalMatch(QString::fromUtf8(line)); m.hasNext();) options.insert(m.next().captured(1));
    return options;
}

const QStringList kCommands[] = {
    {"compare"}, {"export"}, {"diff"}, {"sync"}, {"actions"}, {"gui"}, {"snapshot"}, {"snapshot", "record"},
    {"snapshot", "show"}, {"snapshot", "extract-json"}, {"history"}, {"history", "lock"}, {"settings"},
    {"settings", "get"}, {"rules"}, {"rules", "add"}, {"rules", "remove"}, {"tags"}, {"tags", "get"}, {"tags", "set"},
    {"update"}, {"update", "check"}, {"update", "install"},
};

TEST(CommandLineTest, EveryCommandAnswersHelpWithItsOptionsAndTheCompletionKnowsThem) {
    const CommandResult top = runQuorvane({"--help"});
    ASSERT_EQ(top.exitCode, 0);
    for (const char* command : {"compare", "export", "diff", "sync", "actions", "snapshot", "history", "settings", "rules", "tags", "update", "gui"})
        EXPECT_TRUE(top.out.contains(QByteArray("\n  ") + command)) << command;

    QFile completion(QStringLiteral(QV_SOURCE_DIR "/../resources/shell/quorvane.bash"));
    ASSERT_TRUE(completion.open(QIODevice::ReadOnly));
    const QByteArray script = completion.readAll();
    for (const QStringList& command : kCommands) {
        for (const char* ask : {"--help", "-h"}) {
            const CommandResult r = runQuorvane(command + QStringList{ask});
            EXPECT_EQ(r.exitCode, 0) << command.join(' ').toStdString() << ask;
            EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString();
            EXPECT_TRUE(r.out.contains("Usage: quorvane " + command.join(' ').toUtf8())) << r.out.toStdString();
            // Texts are looked up when help is printed: none may show as its key, nor a heading twice.
            static const QRegularExpression key(QStringLiteral(R"(\bcli[A-Z]\w+)"));
            EXPECT_FALSE(key.match(QString::fromUtf8(r.out)).hasMatch()) << r.out.toStdString();
            EXPECT_EQ(r.out.count("\nOptions:\n"), 1) << r.out.toStdString();
        }
        const std::set<QString> options = optionsIn(runQuorvane(command + QStringList{"--help"}).out);
        for (const QString& option : options) {
            const QRegularExpression word(QStringLiteral(R"((^|[\s"|])%1([\s"|)]|$))").arg(option));
            EXPECT_TRUE(word.match(QString::fromUtf8(script)).hasMatch() || option == u"--colour")
                << command.join(' ').toStdString() << ": the completion lacks " << option.toStdString();
        }
    }
    // The examples are the commands' own: each names its command.
    EXPECT_TRUE(runQuorvane({"sync", "--help"}).out.contains("Example:\n  quorvane sync "));
    // A setting's help says what it means.
    EXPECT_TRUE(runQuorvane({"settings", "get", "optCmpContents", "--help"}).out.contains("contents"));
    // and which values it takes.
    EXPECT_TRUE(runQuorvane({"settings", "set", "fileType", "--help"}).out.contains("fileType (an integer from 0 to 3,"));
}

TEST(CommandLineTest, ValuesAttachedWithEqualsDoubleDashAndErrorsOnOneLine) {
    TempTree t;
    t.file("L/-odd", 1);
    t.file("R/-odd", 1);
    // After "--" a folder may start with "-".
    {
        const CommandResult r = runShell(QStringLiteral("cd '%1' && \"$Q\" compare --set=optCmpContents=true --sort=name -- L R")
                                             .arg(q(t.root())));
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    }
    const CommandResult dashFolder = runShell(QStringLiteral("cd '%1/L' && \"$Q\" compare -- -odd ../R/-odd").arg(q(t.root())));
    EXPECT_EQ(dashFolder.exitCode, 0) << dashFolder.err.toStdString() << dashFolder.out.toStdString();
    for (const QStringList& bad : {QStringList{"compare", "--sort"}, QStringList{"compare", "--color", "pink", "a", "b"},
                                   QStringList{"export", q(t.path("L"))}, QStringList{"settings", "get"},
                                   QStringList{"diff", "--hex", "--quick", "a", "b"}}) {
        const CommandResult r = runQuorvane(bad);
        EXPECT_EQ(r.exitCode, 2) << bad.join(' ').toStdString();
        EXPECT_EQ(r.err.count('\n'), 1) << r.err.toStdString();   // the error alone, never the usage
        EXPECT_TRUE(r.err.startsWith("quorvane: ")) << r.err.toStdString();
    }
    EXPECT_TRUE(runQuorvane({"export", q(t.path("L"))}).err.contains("“export”"));
}

TEST(CommandLineTest, ArgumentsThatAreNotUtf8ReachTheFileSystemByteForByte) {
    TempTree t;
    const CommandResult made = runShell(QStringLiteral("cd '%1' && mkdir \"$(printf 'caf\\351')\" R && "
                                                       "printf x > \"$(printf 'caf\\351')/f\" && printf x > R/f && "
                                                       "\"$Q\" compare --json \"$(printf 'caf\\351')\" R")
                                            .arg(q(t.root())));
    EXPECT_EQ(made.exitCode, 0) << made.err.toStdString();
    EXPECT_TRUE(made.out.contains("\"path\":\"f\"")) << made.out.toStdString();
}

TEST(CommandLineTest, OddNamesStayOnOneLineInTextAndExactInJson) {
    TempTree left, right;
    left.file("new\nline", 1);
    left.file("tab\there", 1);
    right.file("tab\there", 2);
    right.fileWithText("plain", "x");
    const QStringList sides = {q(left.root()), q(right.root())};
    const CommandResult text = runQuorvane(QStringList{"compare"} + sides);
    ASSERT_EQ(text.exitCode, 1);
    EXPECT_TRUE(text.out.contains("$'new\\nline'")) << text.out.toStdString();
    EXPECT_TRUE(text.out.contains("$'tab\\there'")) << text.out.toStdString();
    for (const QByteArray& line : text.out.split('\n')) EXPECT_FALSE(line == "line") << text.out.toStdString();

    const CommandResult json = runQuorvane(QStringList{"compare", "--json"} + sides);
    std::set<QString> names;
    for (const QByteArray& line : json.out.split('\n'))
        if (!line.isEmpty()) names.insert(QJsonDocument::fromJson(line).object()[QStringLiteral("path")].toString());
    EXPECT_TRUE(names.count(QStringLiteral("new\nline")));
    EXPECT_TRUE(names.count(QStringLiteral("tab\there")));

    const CommandResult plan = runQuorvane(QStringList{"sync"} + sides + QStringList{"--type", "mirror", "--direction", "lr"});
    EXPECT_TRUE(plan.out.contains("CopyToRight\t$'new\\nline'\n")) << plan.out.toStdString();
}

TEST(CommandLineTest, ColourOnlyWhenAskedOrOnATerminalWithoutNoColor) {
    TempTree left, right;
    left.file("a", 1);
    right.file("a", 2);
    const QString sides = q(left.root()) + ' ' + q(right.root());
    // A pseudo-terminal from script(1) stands for the user's terminal.
    auto onTerminal = [&](const QString& env) {
        return runShell(QStringLiteral("%1 script -qec \"$Q compare %2\" /dev/null").arg(env, sides)).out;
    };
    EXPECT_TRUE(onTerminal(QString()).contains("\033[33m")) << onTerminal(QString()).toStdString();
    // (The progress line on the terminal is redrawn with escapes of its own; colours are "ESC[3…m".)
    EXPECT_FALSE(onTerminal(QStringLiteral("NO_COLOR=1")).contains("\033[3"));
    EXPECT_FALSE(onTerminal(QStringLiteral("TERM=dumb")).contains("\033[3"));
    EXPECT_FALSE(runQuorvane({"compare", q(left.root()), q(right.root())}).out.contains("\033["));
    EXPECT_TRUE(runQuorvane({"compare", "--color=always", q(left.root()), q(right.root())}).out.contains("\033[33m"));
}

TEST(CommandLineTest, CountsUseTheRightPluralForm) {
    TempTree t;
    t.folder("L0");
    t.folder("R0");
    t.file("L1/a", 1);
    t.file("R1/a", 1);
    t.file("L2/a", 1);
    t.file("L2/b", 1);
    t.folder("R2");
    auto summary = [&](const char* l, const char* r) {
        const QList<QByteArray> lines = runQuorvane({"compare", q(t.path(l)), q(t.path(r))}).out.split('\n');
        for (const QByteArray& line : lines)
            if (line.contains(" item")) return line;
        return QByteArray();
    };
    EXPECT_EQ(summary("L0", "R0"), "0 items");
    EXPECT_EQ(summary("L1", "R1"), "1 item: 1 equal");
    EXPECT_EQ(summary("L2", "R2"), "2 items: 2 only left");
    // The totals lines too, labelled by side.
    const QByteArray one = runQuorvane({"compare", q(t.path("L1")), q(t.path("R1"))}).out;
    const QByteArray leftTotals = one.mid(one.indexOf("\nLeft: "));
    EXPECT_TRUE(leftTotals.startsWith("\nLeft: 1 ")) << one.toStdString();
    EXPECT_TRUE(leftTotals.contains(", 1 file, 0 folders\nRight: ")) << one.toStdString();

    t.fileWithText("one.txt", "a\nb\n");
    t.fileWithText("two.txt", "a\nB\n");
    t.fileWithText("three.txt", "a\nB\nc\nd\ne\n");
    t.fileWithText("four.txt", "A\nB\nc\nd\nE\n");
    EXPECT_TRUE(runQuorvane({"diff", q(t.path("one.txt")), q(t.path("two.txt"))}).out.contains("1 difference ·"));
    EXPECT_TRUE(runQuorvane({"diff", q(t.path("three.txt")), q(t.path("four.txt"))}).out.contains("2 differences ·"));
}

}  // namespace
}  // namespace qv::test
