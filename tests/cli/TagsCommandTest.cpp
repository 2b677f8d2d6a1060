#include "base/Messages.h"
#include "platform/ExtendedAttributes.h"
#include "support/RunQuorvane.h"
#include "support/TempTree.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace qv::test {
namespace {

// What another program reads from the attribute: getfattr's bare value.
std::optional<QByteArray> attributeByGetfattr(const std::string& path) {
    QProcess p;
    p.start(QStringLiteral("getfattr"), {"-h", "--only-values", "-n", "user.xdg.tags", q(path)});
    if (!p.waitForFinished(10000) || p.exitCode() != 0) return std::nullopt;
    return p.readAllStandardOutput();
}

class TagsCommandTest : public ::testing::Test {
protected:
    TempTree tree;
    CommandResult tags(const QStringList& args) { return runQuorvane(QStringList{"tags"} + args); }
    QStringList tagsOf(const std::string& relative) {
        const CommandResult r = tags({"get", q(tree.path(relative)), "--json"});
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        QStringList names;
        for (const QJsonValue& v : QJsonDocument::fromJson(r.out).array().at(0)["tags"].toArray()) names << v.toString();
        return names;
    }
};

TEST_F(TagsCommandTest, NamesAreTrimmedKeptInOrderOnceAndReadByOtherPrograms) {
    if (QStandardPaths::findExecutable(QStringLiteral("getfattr")).isEmpty()) GTEST_SKIP() << "getfattr (attr) missing";
    tree.fileWithText("a.txt", "a");
    tree.fileWithText("b.txt", "b");
    const CommandResult set = tags({"set", q(tree.path("a.txt")), q(tree.path("b.txt")), "--tags",
                                    QString::fromUtf8(" Work ;red;; Work;caf\xC3\xA9 \xE2\x9C\x93\n")});
    ASSERT_EQ(set.exitCode, 0) << set.err.toStdString();
    for (const char* file : {"a.txt", "b.txt"}) {
        EXPECT_EQ(attributeByGetfattr(tree.path(file)), QByteArray("Work,red,caf\xC3\xA9 \xE2\x9C\x93")) << file;
        EXPECT_EQ(tagsOf(file), (QStringList{"Work", "red", QString::fromUtf8("caf\xC3\xA9 \xE2\x9C\x93")}));
    }
    const CommandResult text = tags({"get", q(tree.path("a.txt"))});
    EXPECT_TRUE(text.out.endsWith(QByteArray("\tWork;red;caf\xC3\xA9 \xE2\x9C\x93\n"))) << text.out.toStdString();

    // An empty text takes every tag away, and the attribute with them.
    ASSERT_EQ(tags({"set", q(tree.path("a.txt")), "--tags", ""}).exitCode, 0);
    EXPECT_FALSE(attributeByGetfattr(tree.path("a.txt")));
    EXPECT_TRUE(tagsOf("a.txt").isEmpty());
    EXPECT_EQ(tagsOf("b.txt").size(), 3);
}

TEST_F(TagsCommandTest, EntriesThatRefuseAreNamedAndTheOthersStillWritten) {
    tree.fileWithText("target.txt", "t");
    tree.link("link", "target.txt");
    tree.fileWithText("plain.txt", "p");
    const CommandResult r = tags({"set", q(tree.path("link")), q(tree.path("missing.txt")), q(tree.path("plain.txt")),
                                  "--tags", "Blue"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(Messages::text("tagsOnLink").toUtf8())) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("missing.txt")) << r.err.toStdString();
    // The link's target is never tagged in its place.
    EXPECT_FALSE(platform::readTags(tree.path("target.txt"), false));
    EXPECT_EQ(platform::readTags(tree.path("plain.txt"), false), std::vector<std::string>{"Blue"});

    EXPECT_EQ(tags({"set", q(tree.path("plain.txt")), "--tags", "a,b"}).exitCode, 2);
    EXPECT_EQ(platform::readTags(tree.path("plain.txt"), false), std::vector<std::string>{"Blue"});
    EXPECT_EQ(tags({"get", q(tree.path("missing.txt"))}).exitCode, 1);
}

TEST_F(TagsCommandTest, AFileSystemWithoutUserAttributesIsReportedPerFile) {
    tree.folder("ram");
    const QString ram = q(tree.path("ram"));
    const auto r = runQuorvaneWithMounts(QStringLiteral("mount -t ramfs none '%1' && touch '%1/f'").arg(ram),
                                         {"tags", "set", ram + "/f", "--tags", "Red"});
    if (!r) GTEST_SKIP() << "no mount namespace here";
    EXPECT_EQ(r->exitCode, 1);
    EXPECT_TRUE(r->err.contains(Messages::text("tagsUnsupported").toUtf8())) << r->err.toStdString();
    EXPECT_TRUE(r->err.contains("/f")) << r->err.toStdString();
}

// Without root's privilege a read-only file refuses new tags, and keeps its mode.
TEST_F(TagsCommandTest, AReadOnlyFileIsReportedAndLeftReadOnly) {
    tree.fileWithText("locked.txt", "l");
    ::chmod(tree.path("locked.txt").c_str(), 0444);
    QStringList wrapper;
    if (::geteuid() == 0) {
        if (QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty()) GTEST_SKIP() << "setpriv missing";
        ::chmod(tree.root().c_str(), 0755);
        ::chown(tree.path("locked.txt").c_str(), 65534, 65534);
        wrapper = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
    }
    const CommandResult r = runQuorvane({"tags", "set", q(tree.path("locked.txt")), "--tags", "Red"}, {}, 60000, wrapper);
    EXPECT_EQ(r.exitCode, 1) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("locked.txt")) << r.err.toStdString();
    struct stat st {};
    ASSERT_EQ(::stat(tree.path("locked.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0444u);
    EXPECT_FALSE(platform::readTags(tree.path("locked.txt"), false));
}

// The comparison after an edit sees it: only the tags differ.
TEST_F(TagsCommandTest, TheNextComparisonSeesTheNewTags) {
    tree.fileWithText("L/same.txt", "same");
    tree.fileWithText("R/same.txt", "same");
    ASSERT_EQ(tags({"set", q(tree.path("L/same.txt")), "--tags", "Green"}).exitCode, 0);
    const CommandResult r = runQuorvane({"compare", q(tree.path("L")), q(tree.path("R")), "--set", "opCmpTags=true",
                                         "--columns", "tags1", "--json"});
    EXPECT_TRUE(r.out.contains("\"state\":12")) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("Green")) << r.out.toStdString();
}

}  // namespace
}  // namespace qv::test
