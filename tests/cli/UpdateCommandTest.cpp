#include "support/LoopbackHttpServer.h"
#include "support/RunQuorvane.h"
#include "support/ScopedEnv.h"
#include "support/TarBuilder.h"
#include "support/TempTree.h"
#include "support/TestSigningKey.h"

#include <QCryptographicHash>
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

namespace qv::test {
namespace {

// A build number one above or below the program's own.
QByteArray buildPlus(int delta) {
    return QByteArray::number(QByteArray(QUORVANE_BUILD).toInt() + delta).rightJustified(5, '0');
}

class UpdateCommandTest : public ::testing::Test {
protected:
    LoopbackHttpServer server;
    TempTree home;
    ScopedEnv url{"QV_UPDATE_URL", server.folder().toString().toStdString()};
    ScopedEnv homeEnv{"HOME", home.root()};
    ScopedEnv installEnv{"QV_INSTALL_DIR", home.path("apps/quorvane")};

    void SetUp() override {
        home.folder("Downloads");
        home.fileWithText("apps/quorvane/quorvane.release", "old\n");
        home.fileWithText("apps/quorvane/bin/quorvane", "old program\n");
    }

    QJsonObject checkJson() {
        const CommandResult r = runQuorvane({"update", "check", "--json"});
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        EXPECT_EQ(r.out.count('\n'), 1);
        return QJsonDocument::fromJson(r.out).object();
    }
};

TEST_F(UpdateCommandTest, TheCheckReportsANewVersionWithItsNotes) {
    server.serve("update.ver", buildPlus(1) + ":a.tar.xz\n");
    server.serve("englishNews.md", "* faster\n");
    const QJsonObject o = checkJson();
    EXPECT_EQ(o.value("installed").toString(), QStringLiteral(QUORVANE_BUILD));
    EXPECT_EQ(o.value("latest").toString(), QString::fromLatin1(buildPlus(1)));
    EXPECT_TRUE(o.value("newVersion").toBool());
    EXPECT_EQ(o.value("notes").toString(), QStringLiteral("* faster\n"));
    EXPECT_FALSE(o.value("packageManager").toBool());

    const CommandResult text = runQuorvane({"update", "check"});
    EXPECT_EQ(text.exitCode, 0);
    EXPECT_TRUE(text.out.contains(buildPlus(1))) << text.out.toStdString();
    EXPECT_TRUE(text.out.contains("* faster"));
}

TEST_F(UpdateCommandTest, NoNewVersionIsAnAnswerAndAFailedCheckIsAnError) {
    server.serve("update.ver", QByteArray(QUORVANE_BUILD) + ":a.tar.xz\n");
    QJsonObject o = checkJson();
    EXPECT_FALSE(o.value("newVersion").toBool());
    EXPECT_TRUE(o.value("notes").isNull());
    server.serve("update.ver", "99999\n");   // one token
    o = checkJson();
    EXPECT_FALSE(o.value("newVersion").toBool());
    EXPECT_TRUE(o.value("latest").isNull());
    EXPECT_EQ(runQuorvane({"update", "install"}).exitCode, 0);

    for (int status : {404, 500}) {
        server.serve("update.ver", HttpAnswer{status, "no"});
        const CommandResult r = runQuorvane({"update", "check", "--json"});
        EXPECT_EQ(r.exitCode, 1) << status;
        EXPECT_TRUE(r.out.isEmpty()) << status;
        EXPECT_TRUE(r.err.contains(QByteArray::number(status))) << r.err.toStdString();
    }
}

TEST_F(UpdateCommandTest, AProgramUnderUsrIsLeftToThePackageManager) {
    ScopedEnv system("QV_INSTALL_DIR", "/usr/lib/quorvane");
    server.serve("update.ver", buildPlus(1) + ":a.tar.xz:10:" + QByteArray(64, 'a') + '\n');
    EXPECT_TRUE(checkJson().value("packageManager").toBool());
    const CommandResult r = runQuorvane({"update", "install"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("package manager")) << r.err.toStdString();
    EXPECT_EQ(server.requests("a.tar.xz"), 0);
}

TEST_F(UpdateCommandTest, AReleaseNotSignedWithTheProjectKeyIsDownloadedButNeverInstalled) {
    TestSigningKey notTheProjectKey;
    TarBuilder archive;
    archive.release("9.9.9");
    const QByteArray bytes = archive.bytes();
    const QByteArray version = buildPlus(1) + ":a.tar.xz:" + QByteArray::number(bytes.size()) + ':' +
                               QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex() + '\n';
    server.serve("update.ver", version);
    server.serve("a.tar.xz", bytes);
    server.serve("a.tar.xz.sig", notTheProjectKey.sign(version));
    const CommandResult r = runQuorvane({"update", "install"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("not signed")) << r.err.toStdString();
    EXPECT_EQ(server.requests("a.tar.xz"), 1);
    EXPECT_EQ(home.contents("apps/quorvane/bin/quorvane"), "old program\n");
    EXPECT_EQ(QDir(QString::fromStdString(home.path("apps"))).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("quorvane")});
    // What could not be installed is not left lying in the downloads folder.
    EXPECT_TRUE(QDir(QString::fromStdString(home.path("Downloads"))).isEmpty());
}

}  // namespace
}  // namespace qv::test
