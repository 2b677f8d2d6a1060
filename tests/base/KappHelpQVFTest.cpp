#include "base/KappHelpQVF.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "support/ScopedEnv.h"
#include "support/TempTree.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace qv {
namespace {

using qv::test::ScopedEnv;

// A scratch folder with the few kinds of entries these helpers care about.
class Scratch {
public:
    Scratch() { EXPECT_TRUE(m_dir.isValid()); }

    QString root() const { return m_dir.path(); }
    QString path(const QString& relative) const { return m_dir.path() + QLatin1Char('/') + relative; }

    void file(const QString& relative, qint64 size = 0) {
        const QString full = path(relative);
        ASSERT_TRUE(QDir().mkpath(QFileInfo(full).path()));
        QFile f(full);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_EQ(f.write(QByteArray(size, 'x')), size);
    }
    void folder(const QString& relative) { ASSERT_TRUE(QDir().mkpath(path(relative))); }
    void link(const QString& relative, const QString& target) {
        ASSERT_EQ(::symlink(QFile::encodeName(target).constData(), QFile::encodeName(path(relative)).constData()), 0);
    }

private:
    QTemporaryDir m_dir;
};

std::string native(const QString& path) { return QFile::encodeName(path).toStdString(); }

mode_t lstatMode(const QString& path) {
    struct stat st {};
    EXPECT_EQ(::lstat(native(path).c_str(), &st), 0) << native(path);
    return st.st_mode;
}

dev_t deviceOf(const QString& path) {
    struct stat st {};
    EXPECT_EQ(::stat(native(path).c_str(), &st), 0) << native(path);
    return st.st_dev;
}

QString readLink(const QString& path) {
    char buffer[PATH_MAX];
    const ssize_t n = ::readlink(native(path).c_str(), buffer, sizeof buffer);
    return n < 0 ? QString() : QFile::decodeName(QByteArray(buffer, n));
}

QString realPath(const QString& path) {
    char buffer[PATH_MAX];
    return ::realpath(native(path).c_str(), buffer) ? QFile::decodeName(buffer) : QString();
}

TEST(KappHelpQVF, SizeOfItemReadsTheFileSizeAndNoFork) {
    Scratch s;
    s.file("data.bin", 1234);
    s.file("empty");
    s.folder("sub");
    s.link("link", "data.bin");

    EXPECT_EQ(KappHelpQVF::SizeOfItem(s.path("data.bin"), false), 1234u);
    EXPECT_EQ(KappHelpQVF::SizeOfItem(s.path("data.bin"), true), 1234u);
    EXPECT_EQ(KappHelpQVF::SizeOfItem(s.path("empty"), true), 0u);
    // A link is measured itself (its stored destination), not what it points at.
    EXPECT_EQ(KappHelpQVF::SizeOfItem(s.path("link"), false), 8u);
    EXPECT_EQ(KappHelpQVF::SizeOfItem(s.path("sub"), true), 0u);
    EXPECT_EQ(KappHelpQVF::SizeOfItem(s.path("missing"), true), 0u);
    EXPECT_EQ(KappHelpQVF::SizeOfItem(QString(), true), 0u);
}

TEST(KappHelpQVF, UniqueNameFollowsTheCounterRules) {
    Scratch s;
    s.file("a.txt");
    s.file("a 1.txt");
    EXPECT_EQ(KappHelpQVF::GetNewUniqueDir(s.root(), "a.txt", true), "a 2.txt");
    EXPECT_EQ(KappHelpQVF::GetNewUniqueDir(s.root(), "a.txt", false), "a1.txt");

    // Without an extension no trailing dot appears.
    s.folder("folder");
    EXPECT_EQ(KappHelpQVF::GetNewUniqueDir(s.root(), "folder", true), "folder 1");
    EXPECT_EQ(KappHelpQVF::GetNewUniqueDir(s.root(), "folder", false), "folder1");

    // A free wished name is itself the answer only when the blank is asked for.
    EXPECT_EQ(KappHelpQVF::GetNewUniqueDir(s.root(), "new.txt", true), "new.txt");
    EXPECT_EQ(KappHelpQVF::GetNewUniqueDir(s.root(), "new.txt", false), "new1.txt");

    // Only the last extension is carried; a hidden name is all stem.
    s.file("b.tar.gz");
    EXPECT_EQ(KappHelpQVF::GetNewUniqueDir(s.root(), "b.tar.gz", true), "b.tar 1.gz");
    s.file(".config");
    EXPECT_EQ(KappHelpQVF::GetNewUniqueDir(s.root(), ".config", true), ".config 1");

    // A dangling link still occupies its name.
    s.link("c.txt", "nowhere");
    EXPECT_EQ(KappHelpQVF::GetNewUniqueDir(s.root(), "c.txt", true), "c 1.txt");

    // The folder may be reached through a link, but must be a folder.
    s.link("via", s.root());
    EXPECT_EQ(KappHelpQVF::GetNewUniqueDir(s.path("via"), "a.txt", true), "a 2.txt");
    EXPECT_EQ(KappHelpQVF::GetNewUniqueDir(s.path("a.txt"), "x", true), QString());
    EXPECT_EQ(KappHelpQVF::GetNewUniqueDir(s.path("missing"), "x", true), QString());
    EXPECT_EQ(KappHelpQVF::GetNewUniqueDir(s.root(), "", true), QString());
    EXPECT_EQ(KappHelpQVF::GetNewUniqueDir(s.root(), "x/y", true), QString());
}

TEST(KappHelpQVF, UniqueNameGivesUpAfterTheLastCounter) {
    Scratch s;
    s.file("with/x.txt");
    for (int i = 1; i <= 296; ++i) {
        s.file(QStringLiteral("with/x %1.txt").arg(i));
        s.file(QStringLiteral("without/x%1.txt").arg(i));
    }
    // Counter 297 is free in both folders, but is never reached.
    EXPECT_EQ(KappHelpQVF::GetNewUniqueDir(s.path("with"), "x.txt", true), QString());
    EXPECT_EQ(KappHelpQVF::GetNewUniqueDir(s.path("without"), "x.txt", false), QString());

    // The last counter itself is still a candidate.
    ASSERT_TRUE(QFile::remove(s.path("with/x 296.txt")));
    ASSERT_TRUE(QFile::remove(s.path("without/x296.txt")));
    EXPECT_EQ(KappHelpQVF::GetNewUniqueDir(s.path("with"), "x.txt", true), "x 296.txt");
    EXPECT_EQ(KappHelpQVF::GetNewUniqueDir(s.path("without"), "x.txt", false), "x296.txt");
}

TEST(KappHelpQVF, PermissionStringsOfEveryKind) {
    Scratch s;
    s.folder("dir");
    ASSERT_EQ(::chmod(native(s.path("dir")).c_str(), 0755), 0);
    EXPECT_EQ(KappHelpQVF::GetPermString(lstatMode(s.path("dir"))), "drwxr-xr-x");

    s.link("link", "dir");
    EXPECT_EQ(KappHelpQVF::GetPermString(lstatMode(s.path("link"))), "lrwxrwxrwx");

    s.file("plain");
    ASSERT_EQ(::chmod(native(s.path("plain")).c_str(), 0640), 0);
    EXPECT_EQ(KappHelpQVF::GetPermString(lstatMode(s.path("plain"))), "-rw-r-----");

    // Set-id and sticky bits have no place in the ten characters.
    ASSERT_EQ(::chmod(native(s.path("plain")).c_str(), 07751), 0);
    EXPECT_EQ(KappHelpQVF::GetPermString(lstatMode(s.path("plain"))), "-rwxr-x--x");

    ASSERT_EQ(::mkfifo(native(s.path("pipe")).c_str(), 0600), 0);
    EXPECT_EQ(KappHelpQVF::GetPermString(lstatMode(s.path("pipe"))), "prw-------");

    test::TempTree sockets;
    sockets.socket("sock");
    EXPECT_EQ(KappHelpQVF::GetPermString(lstatMode(QString::fromStdString(sockets.path("sock")))).at(0), 's');

    EXPECT_EQ(KappHelpQVF::GetPermString(lstatMode("/dev/null")), "crw-rw-rw-");
    // No block device can be made without privileges; its mode alone will do.
    EXPECT_EQ(KappHelpQVF::GetPermString(S_IFBLK | 0660), "brw-rw----");
    EXPECT_EQ(KappHelpQVF::GetPermString(0), "----------");
    // Type nibbles no file system uses fall back to "-", at both ends of the folding.
    EXPECT_EQ(KappHelpQVF::GetPermString(0x7000 | 0644), "-rw-r--r--");
    EXPECT_EQ(KappHelpQVF::GetPermString(0xF000 | 0644), "-rw-r--r--");
}

TEST(KappHelpQVF, SameVolumeJudgesMissingPathsByTheirAncestor) {
    Scratch s;
    s.file("one");
    s.folder("two");
    EXPECT_TRUE(KappHelpQVF::ItemsOnSameVolume(s.path("one"), s.path("two")));
    // A destination still to be created, several levels deep.
    EXPECT_TRUE(KappHelpQVF::ItemsOnSameVolume(s.path("one"), s.path("new/deeper/file")));
    EXPECT_TRUE(KappHelpQVF::ItemsOnSameVolume(s.path("new/a"), s.path("other/b")));

    ASSERT_NE(deviceOf("/proc"), deviceOf(s.root()));
    EXPECT_FALSE(KappHelpQVF::ItemsOnSameVolume(s.path("one"), "/proc/self/status"));
    EXPECT_FALSE(KappHelpQVF::ItemsOnSameVolume("/proc/not-there/x", s.path("new/x")));
    EXPECT_TRUE(KappHelpQVF::ItemsOnSameVolume("/proc/self/status", "/proc/not-there/x"));

    EXPECT_FALSE(KappHelpQVF::ItemsOnSameVolume(QString(), s.path("one")));
    EXPECT_FALSE(KappHelpQVF::ItemsOnSameVolume(s.path("one"), QString()));
}

TEST(KappHelpQVF, VolumeMountPathAndName) {
    Scratch s;
    s.file("f");

    EXPECT_EQ(KappHelpQVF::VolumeMountPath("/proc/self/status"), "/proc");
    EXPECT_EQ(KappHelpQVF::VolumeMountPath("/proc"), "/proc");
    EXPECT_EQ(KappHelpQVF::VolumeNameForPath("/proc/self/status"), "proc");
    EXPECT_EQ(KappHelpQVF::VolumeMountPath("/"), "/");
    EXPECT_EQ(KappHelpQVF::VolumeNameForPath("/"), "/");

    // The temporary folder lies below its mount point, on the same device,
    // and not on the /proc mount.
    const QString mount = KappHelpQVF::VolumeMountPath(s.path("f"));
    ASSERT_FALSE(mount.isEmpty());
    EXPECT_NE(mount, "/proc");
    const QString resolved = realPath(s.root());
    EXPECT_TRUE(mount == "/" || resolved == mount || resolved.startsWith(mount + '/')) << resolved.toStdString();
    EXPECT_EQ(deviceOf(mount), deviceOf(s.root()));
    const QString name = KappHelpQVF::VolumeNameForPath(s.path("f"));
    EXPECT_EQ(name, mount == "/" ? QString("/") : mount.section('/', -1));

    EXPECT_EQ(KappHelpQVF::VolumeMountPath(s.path("missing")), QString());
    EXPECT_EQ(KappHelpQVF::VolumeNameForPath(s.path("missing")), QString());
    EXPECT_EQ(KappHelpQVF::VolumeMountPath(QString()), QString());
    EXPECT_EQ(KappHelpQVF::VolumeNameForPath(QString()), QString());
}

TEST(KappHelpQVF, TemporaryNamesAreNewEmptyFiles) {
    Scratch s;
    const QString templ = s.path("tmp.XXXXXX");
    const QString first = KappHelpQVF::Ntempnam(templ);
    const QString second = KappHelpQVF::Ntempnam(templ);
    ASSERT_FALSE(first.isEmpty());
    ASSERT_FALSE(second.isEmpty());
    EXPECT_NE(first, second);
    for (const QString& made : {first, second}) {
        EXPECT_EQ(made.size(), templ.size());
        EXPECT_TRUE(made.startsWith(s.path("tmp.")));
        EXPECT_FALSE(made.endsWith("XXXXXX"));
        const QFileInfo info(made);
        EXPECT_TRUE(info.isFile());
        EXPECT_EQ(info.size(), 0);
    }
    // The files were made private to their owner.
    EXPECT_EQ(lstatMode(first) & 0777, 0600u);

    EXPECT_EQ(KappHelpQVF::Ntempnam(s.path("plain")), QString());
    EXPECT_EQ(KappHelpQVF::Ntempnam(s.path("few.XXX")), QString());
    EXPECT_EQ(KappHelpQVF::Ntempnam(s.path("missing/tmp.XXXXXX")), QString());
    EXPECT_EQ(KappHelpQVF::Ntempnam(QString()), QString());
    EXPECT_EQ(KappHelpQVF::Ntempnam(s.path("nul") + QChar(0) + "XXXXXX"), QString());
    EXPECT_FALSE(QFileInfo::exists(s.path("nul")));
}

TEST(KappHelpQVF, AliasIsAnAbsoluteLinkToTheResolvedItem) {
    Scratch s;
    s.file("data/real.txt", 5);
    s.folder("data/inner");
    s.link("data/link.txt", "real.txt");
    s.folder("out");
    const QString realFile = realPath(s.path("data/real.txt"));

    // A link is followed first, and the alias keeps the link's own name.
    ASSERT_TRUE(KappHelpQVF::CreateAliasTo(s.path("data/link.txt"), s.path("out")));
    EXPECT_TRUE(QFileInfo(s.path("out/link.txt")).isSymLink());
    EXPECT_EQ(readLink(s.path("out/link.txt")), realPath(s.path("data")) + "/real.txt");
    EXPECT_EQ(realPath(s.path("out/link.txt")), realFile);

    // ".." is taken out of the destination it stores.
    ASSERT_TRUE(KappHelpQVF::CreateAliasTo(s.path("data/inner/../real.txt"), s.path("out")));
    EXPECT_EQ(readLink(s.path("out/real.txt")), realPath(s.path("data")) + "/real.txt");

    // An existing entry of that name is left alone.
    s.file("out2/real.txt", 3);
    EXPECT_FALSE(KappHelpQVF::CreateAliasTo(s.path("data/real.txt"), s.path("out2")));
    EXPECT_FALSE(QFileInfo(s.path("out2/real.txt")).isSymLink());
    EXPECT_EQ(QFileInfo(s.path("out2/real.txt")).size(), 3);
    EXPECT_FALSE(KappHelpQVF::CreateAliasTo(s.path("data/real.txt"), s.path("out")));

    // A relative item is taken from the current folder.
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(s.path("data")));
    const bool madeRelative = KappHelpQVF::CreateAliasTo("inner", s.path("out"));
    QDir::setCurrent(previous);
    ASSERT_TRUE(madeRelative);
    EXPECT_EQ(readLink(s.path("out/inner")), realPath(s.path("data")) + "/inner");

    EXPECT_FALSE(KappHelpQVF::CreateAliasTo(s.path("data/real.txt"), QString()));
    EXPECT_FALSE(KappHelpQVF::CreateAliasTo(s.path("data/real.txt"), s.path("no-such-folder")));
    EXPECT_FALSE(KappHelpQVF::CreateAliasTo(s.path("data/real.txt"), s.path("data/real.txt")));
    EXPECT_FALSE(KappHelpQVF::CreateAliasTo(s.path("data/gone.txt"), s.path("out")));
    EXPECT_FALSE(QFileInfo(s.path("out/gone.txt")).isSymLink());
    EXPECT_FALSE(KappHelpQVF::CreateAliasTo(QString(), s.path("out")));
}

TEST(KappHelpQVF, ArrayToStringSortsAndJoins) {
    EXPECT_EQ(KappHelpQVF::ArrayToString({"b", "a"}), "a, b");
    EXPECT_EQ(KappHelpQVF::ArrayToString({}), "");
    EXPECT_EQ(KappHelpQVF::ArrayToString({"only"}), "only");
    // Plain code-point order, not the user's locale: capitals first.
    EXPECT_EQ(KappHelpQVF::ArrayToString({"b", "B", "a", "a"}), "B, a, a, b");
}

TEST(KappHelpQVF, StandardFoldersFollowTheXdgVariables) {
    Scratch s;
    ScopedEnv home("HOME", s.path("home").toStdString());
    ScopedEnv data("XDG_DATA_HOME", s.path("home/data").toStdString());
    ScopedEnv config("XDG_CONFIG_HOME", s.path("home/config").toStdString());
    ScopedEnv cache("XDG_CACHE_HOME", s.path("home/cache").toStdString());

    EXPECT_EQ(KappHelpQVF::ApplicationSupportFolder(), s.path("home/data/Quorvane"));
    EXPECT_FALSE(QFileInfo::exists(s.path("home/data/Quorvane")));
    EXPECT_EQ(KappHelpQVF::ApplicationSupportDirectory(), s.path("home/data/Quorvane"));
    EXPECT_TRUE(QFileInfo(s.path("home/data/Quorvane")).isDir());
    // Asking again finds the folder already there.
    EXPECT_EQ(KappHelpQVF::ApplicationSupportDirectory(), s.path("home/data/Quorvane"));

    EXPECT_EQ(KappHelpQVF::RealDirectory(7), s.path("home"));
    EXPECT_EQ(KappHelpQVF::RealDirectory(22), s.path("home/config"));
    EXPECT_EQ(KappHelpQVF::RealDirectory(13), s.path("home/cache"));
    EXPECT_EQ(KappHelpQVF::RealDirectory(14), s.path("home/data"));
    EXPECT_EQ(KappHelpQVF::RealDirectory(4), QString());
    EXPECT_EQ(KappHelpQVF::RealDirectory(-1), QString());
    // The one machine-wide code never answers with a per-user folder.
    EXPECT_FALSE(KappHelpQVF::RealDirectory(1).startsWith(s.path("home")));
}

TEST(KappHelpQVF, ApplicationSupportDirectoryEmptyWhenItCannotBeMade) {
    Scratch s;
    s.file("blocker");
    ScopedEnv data("XDG_DATA_HOME", s.path("blocker").toStdString());
    EXPECT_EQ(KappHelpQVF::ApplicationSupportFolder(), s.path("blocker/Quorvane"));
    EXPECT_EQ(KappHelpQVF::ApplicationSupportDirectory(), QString());
}

}  // namespace
}  // namespace qv
