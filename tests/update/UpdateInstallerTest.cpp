#include "update/ReleaseArchive.h"
#include "update/UpdateInstaller.h"
#include "support/FakeLauncher.h"
#include "support/ScopedEnv.h"
#include "support/TarBuilder.h"
#include "support/TempTree.h"
#include "support/TestSigningKey.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <sys/resource.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>

namespace qv::update {
namespace {

using test::TarBuilder;

QString q(const std::string& s) { return QString::fromStdString(s); }

QByteArray run(const QString& program) {
    QProcess p;
    p.start(program, {QStringLiteral("--version")});
    p.waitForFinished(10000);
    return p.readAllStandardOutput().trimmed();
}

class UpdateInstallerTest : public ::testing::Test {
protected:
    test::TempTree tree;
    test::TestSigningKey key;
    const QString parent = q(tree.path("apps"));
    const QString installDir = q(tree.path("apps/quorvane"));

    void SetUp() override {
        tree.fileWithText("apps/quorvane/quorvane.release", "00100\n");
        tree.fileWithText("apps/quorvane/old.txt", "old\n");
        test::writeScript(tree, "apps/quorvane/bin/quorvane", "echo 'quorvane 0.1.0'\n");
        tree.fileWithText("apps/neighbour.txt", "not ours\n");
        tree.folder("downloads");
    }

    InstallRequest signedRequest(const TarBuilder& archive) {
        InstallRequest request;
        request.archivePath = q(tree.path("downloads/a.tar.xz"));
        const QByteArray bytes = archive.writeTo(request.archivePath);
        request.versionFile = "00200:a.tar.xz:" + QByteArray::number(bytes.size()) + ':' +
                              QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex() + '\n';
        request.signature = key.sign(request.versionFile);
        request.installDir = installDir;
        request.installedVersion = QStringLiteral("00100");
        return request;
    }

    InstallerOptions options() const {
        InstallerOptions o;
        o.publicKey = key.publicKey();
        return o;
    }

    // The old program is in place and runs, and nothing else was left beside it.
    void expectUntouched(const char* what) {
        EXPECT_EQ(run(UpdateInstaller::programIn(installDir)), QByteArray("quorvane 0.1.0")) << what;
        EXPECT_TRUE(QFile::exists(installDir + QStringLiteral("/old.txt"))) << what;
        EXPECT_EQ(QDir(parent).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                  (QStringList{QStringLiteral("neighbour.txt"), QStringLiteral("quorvane")}))
            << what;
    }
};

TEST_F(UpdateInstallerTest, AGoodReleaseReplacesTheProgramFolderAndRuns) {
    TarBuilder archive;
    archive.release("0.2.0").folder("quorvane/share").file("quorvane/share/new.txt", "new\n");
    archive.symlink("quorvane/bin/link", "../share/new.txt").hardlink("quorvane/share/same.txt", "quorvane/share/new.txt");
    archive.file("quorvane/bin/setuid", "x", 04755);
    std::vector<UpdateInstaller::Step> steps;
    const QString failure = UpdateInstaller(options()).install(signedRequest(archive), [&](auto s) { steps.push_back(s); });
    ASSERT_EQ(failure, QString()) << failure.toStdString();

    EXPECT_EQ(run(UpdateInstaller::programIn(installDir)), QByteArray("quorvane 0.2.0"));
    EXPECT_FALSE(QFile::exists(installDir + QStringLiteral("/old.txt")));
    EXPECT_EQ(q(tree.contents("apps/quorvane/bin/link")), QStringLiteral("new\n"));
    EXPECT_EQ(QFileInfo(installDir + QStringLiteral("/bin/link")).symLinkTarget(), installDir + QStringLiteral("/share/new.txt"));
    EXPECT_EQ(q(tree.contents("apps/quorvane/share/same.txt")), QStringLiteral("new\n"));
    struct stat st {};
    ASSERT_EQ(::stat(tree.path("apps/quorvane/bin/setuid").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07000, 0u);
    // No backup and no unpacking folder are left.
    EXPECT_EQ(QDir(parent).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              (QStringList{QStringLiteral("neighbour.txt"), QStringLiteral("quorvane")}));
    EXPECT_EQ(steps.front(), UpdateInstaller::Verifying);
    EXPECT_EQ(steps.back(), UpdateInstaller::Finishing);
}

TEST_F(UpdateInstallerTest, ANewProgramThatDoesNotStartIsSwappedBackOut) {
    TarBuilder archive;
    archive.release("0.2.0", 3);
    const QString failure = UpdateInstaller(options()).install(signedRequest(archive));
    EXPECT_FALSE(failure.isEmpty());
    expectUntouched("smoke test");

    // A program missing its interpreter does not start at all.
    TarBuilder broken;
    broken.folder("quorvane").file("quorvane/quorvane.release", "x").file("quorvane/bin/quorvane", "#!/no/such/shell\n", 0755);
    EXPECT_FALSE(UpdateInstaller(options()).install(signedRequest(broken)).isEmpty());
    expectUntouched("no interpreter");
}

TEST_F(UpdateInstallerTest, AnUnsafeEntryRefusesTheWholeArchiveBeforeAnythingIsWritten) {
    const std::pair<const char*, TarBuilder> hostile[] = {
        {"dot-dot", TarBuilder().release("0.2.0").file("quorvane/../../escaped", "x")},
        {"absolute", TarBuilder().release("0.2.0").file(QFile::encodeName(parent) + "/escaped", "x")},
        {"link to an absolute path", TarBuilder().release("0.2.0").symlink("quorvane/etc", "/etc")},
        {"link upwards", TarBuilder().release("0.2.0").symlink("quorvane/up", "../..")},
        {"link out of the top folder", TarBuilder().release("0.2.0").symlink("quorvane/bin/up", "../../neighbour.txt")},
        {"link through a link", TarBuilder().release("0.2.0").symlink("quorvane/self", ".").symlink("quorvane/out", "self/../..")},
        {"writing through a link", TarBuilder().release("0.2.0").symlink("quorvane/sub", "bin").file("quorvane/sub/x", "x")},
        {"hard link out", TarBuilder().release("0.2.0").hardlink("quorvane/passwd", "/etc/passwd")},
        {"hard link to nothing earlier", TarBuilder().release("0.2.0").hardlink("quorvane/a", "quorvane/b")},
        {"device", TarBuilder().release("0.2.0").device("quorvane/null")},
        {"outside the top folder", TarBuilder().release("0.2.0").file("other/file", "x")},
        {"no program", TarBuilder().folder("quorvane").file("quorvane/quorvane.release", "x")},
        {"no release mark", TarBuilder().file("quorvane/bin/quorvane", "#!/bin/sh\necho quorvane 1\n", 0755)},
    };
    for (const auto& [what, archive] : hostile) {
        const QString failure = UpdateInstaller(options()).install(signedRequest(archive));
        EXPECT_FALSE(failure.isEmpty()) << what;
        expectUntouched(what);
        EXPECT_FALSE(QFile::exists(q(tree.path("escaped")))) << what;
    }
}

TEST_F(UpdateInstallerTest, ATruncatedOrUnsignedOrTamperedArchiveIsNotInstalled) {
    TarBuilder archive;
    archive.release("0.2.0").file("quorvane/big", QByteArray(100000, 'b'));
    // Truncated, signed as it is: the archive itself is broken.
    InstallRequest truncated = signedRequest(archive);
    QFile file(truncated.archivePath);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QByteArray bytes = file.readAll().chopped(200);
    file.close();
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
    file.close();
    truncated.versionFile = "00200:a.tar.xz:" + QByteArray::number(bytes.size()) + ':' +
                            QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex() + '\n';
    truncated.signature = key.sign(truncated.versionFile);
    EXPECT_FALSE(UpdateInstaller(options()).install(truncated).isEmpty());
    expectUntouched("truncated");

    // Tampered after signing.
    InstallRequest tampered = signedRequest(archive);
    TarBuilder evil;
    evil.release("6.6.6").file("quorvane/big", QByteArray(100000, 'e'));
    evil.writeTo(tampered.archivePath);
    EXPECT_FALSE(UpdateInstaller(options()).install(tampered).isEmpty());
    expectUntouched("tampered");

    // Signed by another key, which is what every test key is to the program.
    EXPECT_FALSE(UpdateInstaller().install(signedRequest(archive)).isEmpty());
    expectUntouched("another key");
}

TEST_F(UpdateInstallerTest, AFullDiskWhileUnpackingLeavesNothingBehind) {
    TarBuilder archive;
    archive.release("0.2.0").file("quorvane/big", QByteArray(600000, 'b'));
    const InstallRequest request = signedRequest(archive);
    // A file-size limit fails the writes as a full disk would.
    struct rlimit old {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 100000;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const QString failure = UpdateInstaller(options()).install(request);
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(failure.isEmpty());
    expectUntouched("full disk");
}

TEST_F(UpdateInstallerTest, FoldersThatAreNotOursAreNeverReplaced) {
    TarBuilder archive;
    archive.release("0.2.0");
    InstallRequest request = signedRequest(archive);

    request.installDir = QStringLiteral("/usr/lib/quorvane");
    EXPECT_TRUE(UpdateInstaller::managedByPackages(request.installDir));
    EXPECT_EQ(UpdateInstaller(options()).install(request), UpdateInstaller::refusalFor(request.installDir));
    EXPECT_TRUE(UpdateInstaller::managedByPackages(QStringLiteral("/usr")));
    EXPECT_FALSE(UpdateInstaller::managedByPackages(QStringLiteral("/usrlocal/quorvane")));

    // A folder with our program but without the release mark, such as ~/.local.
    tree.fileWithText("home/.local/bin/quorvane", "#!/bin/sh\necho quorvane 0.1.0\n");
    tree.fileWithText("home/.local/share/precious", "keep\n");
    request.installDir = q(tree.path("home/.local"));
    EXPECT_FALSE(UpdateInstaller(options()).install(request).isEmpty());
    EXPECT_EQ(tree.contents("home/.local/share/precious"), "keep\n");

    request.installDir = q(tree.path("missing"));
    EXPECT_FALSE(UpdateInstaller(options()).install(request).isEmpty());
    expectUntouched("other folders");
}

TEST_F(UpdateInstallerTest, AStaleBackupOfTheSameVersionIsKept) {
    tree.fileWithText("apps/quorvane.00100/keep", "earlier backup\n");
    TarBuilder archive;
    archive.release("0.2.0");
    ASSERT_EQ(UpdateInstaller(options()).install(signedRequest(archive)), QString());
    EXPECT_EQ(tree.contents("apps/quorvane.00100/keep"), "earlier backup\n");
    EXPECT_EQ(QDir(parent).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              (QStringList{QStringLiteral("neighbour.txt"), QStringLiteral("quorvane"), QStringLiteral("quorvane.00100")}));
}

TEST_F(UpdateInstallerTest, AFolderTheUserCannotWriteIsSwappedWithElevatedCommands) {
    const std::string log = tree.path("commands");
    // Each command on one line, its arguments separated by "|".
    test::writeScript(tree, "launcher",
                      "shift\nprintf '%s|' \"$@\" >> '" + log + "'\necho >> '" + log + "'\nexec \"$@\"\n");
    tree.socket("bus");
    InstallerOptions elevated = options();
    elevated.canWrite = [](const QString&) { return false; };
    elevated.elevated = test::optionsFor(tree.path("launcher"), tree.path("bus"));
    test::ScopedEnv display("DISPLAY", ":99");

    TarBuilder archive;
    archive.release("0.2.0");
    ASSERT_EQ(UpdateInstaller(elevated).install(signedRequest(archive)), QString());
    EXPECT_EQ(run(UpdateInstaller::programIn(installDir)), QByteArray("quorvane 0.2.0"));
    const std::string d = installDir.toStdString(), b = d + ".00100";
    const std::string commands = tree.contents("commands");
    EXPECT_NE(commands.find("/bin/mv|-f|" + d + '|' + b + "|\n"), std::string::npos) << commands;
    EXPECT_NE(commands.find("/bin/cp|-fPR|"), std::string::npos) << commands;
    EXPECT_NE(commands.find("/bin/rm|-rf|" + b + "|\n"), std::string::npos) << commands;
    EXPECT_FALSE(QFile::exists(q(b)));

    // A failing new program: removed, and the backup moved back.
    ASSERT_EQ(::unlink(log.c_str()), 0);
    TarBuilder failing;
    failing.release("0.3.0", 1);
    EXPECT_FALSE(UpdateInstaller(elevated).install(signedRequest(failing)).isEmpty());
    EXPECT_EQ(run(UpdateInstaller::programIn(installDir)), QByteArray("quorvane 0.2.0"));
    EXPECT_NE(tree.contents("commands").find("/bin/rm|-rf|" + d + "|\n/bin/mv|-f|" + b + '|' + d + "|\n"), std::string::npos)
        << tree.contents("commands");

    // Without a way to ask for rights, nothing happens.
    test::ScopedEnv noDisplay("DISPLAY", std::nullopt), noWayland("WAYLAND_DISPLAY", std::nullopt);
    EXPECT_FALSE(UpdateInstaller(elevated).install(signedRequest(archive)).isEmpty());
    EXPECT_EQ(run(UpdateInstaller::programIn(installDir)), QByteArray("quorvane 0.2.0"));
}

}  // namespace
}  // namespace qv::update
