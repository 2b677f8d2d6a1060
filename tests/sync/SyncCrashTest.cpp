// A sync killed in the middle of a large copy, and one stopped with Ctrl-C.
// Whatever the moment, every destination file must be either its old
// version or the new one, whole: never a prefix, never missing. A later run
// must clear what the killed one left and finish the job.

#include "support/FileChecks.h"
#include "support/RunQuorvane.h"
#include "support/ScopedEnv.h"
#include "support/TempTree.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace qv::test {
namespace {

constexpr std::int64_t kSecond = 1'000'000'000LL;
constexpr std::size_t kBlock = std::size_t{1} << 20;
constexpr std::int64_t kMiB = std::int64_t{1} << 20;

// The bytes of one version of one file: a megabyte of noise drawn once per
// version, each block stamped with the version and its index, so a block
// from the other version or from another offset shows at once. Real data
// throughout: a sparse file would be copied hole by hole in no time.
class Version {
public:
    Version(std::uint32_t id, std::int64_t size) : m_id(id), m_size(size), m_noise(kBlock, '\0') {
        std::mt19937_64 rng(id);
        for (std::size_t i = 0; i < kBlock; i += 8) {
            const std::uint64_t word = rng();
            std::memcpy(m_noise.data() + i, &word, 8);
        }
    }

    std::int64_t size() const { return m_size; }

    // Block `index` (the last one may be short).
    std::string_view block(std::int64_t index, std::string& scratch) const {
        const auto length = static_cast<std::size_t>(std::min<std::int64_t>(kBlock, m_size - index * kBlock));
        scratch.assign(m_noise.data(), length);
        const std::uint64_t stamp[2] = {m_id, static_cast<std::uint64_t>(index)};
        std::memcpy(scratch.data(), stamp, std::min(length, sizeof stamp));
        return scratch;
    }

    void writeTo(const std::string& path, std::int64_t mtimeNs) const {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        ASSERT_GE(fd, 0) << path;
        std::string scratch;
        for (std::int64_t i = 0; i * static_cast<std::int64_t>(kBlock) < m_size; ++i) {
            const std::string_view b = block(i, scratch);
            ASSERT_EQ(::write(fd, b.data(), b.size()), static_cast<ssize_t>(b.size()));
        }
        const struct timespec at {mtimeNs / kSecond, mtimeNs % kSecond};
        const struct timespec times[2] = {at, at};
        ::futimens(fd, times);
        ::close(fd);
    }

    // Whether the file holds exactly these bytes.
    bool isIn(const std::string& path) const {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size != m_size) return false;
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return false;
        std::string scratch, read(kBlock, '\0');
        bool same = true;
        for (std::int64_t i = 0; same && i * static_cast<std::int64_t>(kBlock) < m_size; ++i) {
            const std::string_view want = block(i, scratch);
            same = ::pread(fd, read.data(), want.size(), i * static_cast<off_t>(kBlock)) ==
                       static_cast<ssize_t>(want.size()) &&
                   std::memcmp(read.data(), want.data(), want.size()) == 0;
        }
        ::close(fd);
        return same;
    }

private:
    std::uint64_t m_id;
    std::int64_t m_size;
    std::string m_noise;
};

// A destination file and the two things it may be.
struct Expected {
    std::string path;   // relative to the roots
    std::shared_ptr<Version> oldVersion;   // null: the file is new to the destination
    std::shared_ptr<Version> newVersion;
};

bool isTemporary(const std::string& name) { return name.rfind(".qvwrite-", 0) == 0 || name.rfind(".qvstage-", 0) == 0; }

// Every entry below `folder`, relative ("docs/a.txt"), temporaries included.
void entriesBelow(const std::string& folder, const std::string& relative, std::vector<std::string>& out) {
    for (const std::string& name : namesIn(relative.empty() ? folder : folder + "/" + relative)) {
        const std::string rel = relative.empty() ? name : relative + "/" + name;
        out.push_back(rel);
        struct stat st {};
        if (::lstat((folder + "/" + rel).c_str(), &st) == 0 && S_ISDIR(st.st_mode)) entriesBelow(folder, rel, out);
    }
}

std::vector<std::string> temporariesBelow(const std::string& folder) {
    std::vector<std::string> all, out;
    entriesBelow(folder, "", all);
    for (const std::string& rel : all) {
        const auto slash = rel.rfind('/');
        if (isTemporary(slash == std::string::npos ? rel : rel.substr(slash + 1))) out.push_back(rel);
    }
    return out;
}

// The largest file a process is writing in `folder`: a named temporary
// there, or an unnamed one it holds open (its /proc link reads
// "FOLDER/#inode (deleted)"). -1 when there is none.
std::int64_t largestWriteInProgress(pid_t pid, const std::string& folder) {
    std::int64_t largest = -1;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (const dirent* e = ::readdir(dir)) {
            if (!isTemporary(e->d_name)) continue;
            struct stat st {};
            if (::fstatat(::dirfd(dir), e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0)
                largest = std::max<std::int64_t>(largest, st.st_size);
        }
        ::closedir(dir);
    }
    const std::string fds = "/proc/" + std::to_string(pid) + "/fd";
    DIR* dir = ::opendir(fds.c_str());
    if (!dir) return largest;
    while (const dirent* e = ::readdir(dir)) {
        char target[4096];
        const std::string link = fds + "/" + e->d_name;
        const ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
        if (n <= 0) continue;
        const std::string t(target, static_cast<std::size_t>(n));
        struct stat st {};
        if (t.rfind(folder + "/#", 0) == 0 && ::stat(link.c_str(), &st) == 0 && S_ISREG(st.st_mode))
            largest = std::max<std::int64_t>(largest, st.st_size);
    }
    ::closedir(dir);
    return largest;
}

std::string join(const std::vector<std::string>& lines) {
    std::string out;
    for (const auto& l : lines) out += "  " + l + "\n";
    return out;
}

class SyncCrash : public ::testing::Test {
protected:
    // The source is written once for all cases: three large files and some small ones.
    static void SetUpTestSuite() {
        s_shared = new Shared;
        Shared& s = *s_shared;
        for (const char* name : {"home", "data", "config", "left"}) s.tree.folder(name);
        for (int i = 0; i < 3; ++i) {
            const std::string path = "big-" + std::to_string(i + 1) + ".bin";
            auto fresh = std::make_shared<Version>(100 + i, 200 * kMiB + 12345 * i + 7);
            auto old = std::make_shared<Version>(200 + i, 16 * kMiB + 4096 * i + 3);
            fresh->writeTo(s.tree.path("left/" + path), kBaseTimeNs + 86400 * kSecond);
            s.files.push_back({path, old, fresh});
        }
        for (int i = 0; i < 12; ++i) {
            const std::string path = "docs/note-" + std::to_string(i) + ".txt";
            s.tree.folder("left/docs");
            auto fresh = std::make_shared<Version>(300 + i, 1000 + 37 * i);
            fresh->writeTo(s.tree.path("left/" + path), kBaseTimeNs + 86400 * kSecond);
            // Every third note is new to the destination.
            s.files.push_back({path, i % 3 == 0 ? nullptr : std::make_shared<Version>(400 + i, 700 + 11 * i), fresh});
        }
    }
    static void TearDownTestSuite() {
        delete s_shared;
        s_shared = nullptr;
    }

    // A destination holding the old versions.
    static std::unique_ptr<TempTree> oldDestination() {
        auto right = std::make_unique<TempTree>();
        right->folder("docs");
        for (const Expected& f : s_shared->files)
            if (f.oldVersion) f.oldVersion->writeTo(right->path(f.path), kBaseTimeNs);
        return right;
    }

    static QStringList syncArguments(const TempTree& right, bool json = false) {
        QStringList args{"sync", QString::fromStdString(s_shared->tree.path("left")),
                         QString::fromStdString(right.root()),
                         "--type", "mirror", "--direction", "lr", "--execute"};
        if (json) args << "--json";
        return args;
    }

    static std::unique_ptr<QProcess> start(const QStringList& args) {
        auto p = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", QString::fromStdString(s_shared->tree.path("config")));
        p->setProcessEnvironment(env);
        p->start(QStringLiteral(QUORVANE_BIN), args);
        EXPECT_TRUE(p->waitForStarted(10000));
        return p;
    }

    // Only ever the sync itself: a process id of 0 would signal our whole group.
    static void sendSignal(QProcess& p, int number) {
        const auto pid = static_cast<pid_t>(p.processId());
        ASSERT_GT(pid, 0);
        ::kill(pid, number);
    }

    // Polls until `ready` holds or the process ends; true when it held first.
    static bool waitUntil(QProcess& p, const std::function<bool()>& ready) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (std::chrono::steady_clock::now() < deadline) {
            if (ready()) return true;
            if (p.state() == QProcess::NotRunning || p.waitForFinished(0)) return false;
            std::this_thread::sleep_for(std::chrono::microseconds(300));
        }
        return false;
    }

    // Every destination file is its old or its new version, whole; a file
    // new to the destination is absent or whole; nothing else stands there
    // but temporaries. Returns the files already new.
    static std::vector<std::string> checkOldOrNew(const TempTree& right) {
        std::vector<std::string> fresh;
        for (const Expected& f : s_shared->files) {
            const std::string path = right.path(f.path);
            if (f.newVersion->isIn(path)) {
                fresh.push_back(f.path);
                continue;
            }
            if (f.oldVersion) {
                EXPECT_TRUE(f.oldVersion->isIn(path)) << f.path << " is neither its old nor its new version";
            } else {
                EXPECT_FALSE(right.exists(f.path)) << f.path << " is a partial copy";
            }
        }
        std::vector<std::string> all;
        entriesBelow(right.root(), "", all);
        for (const std::string& rel : all) {
            const auto slash = rel.rfind('/');
            const std::string name = slash == std::string::npos ? rel : rel.substr(slash + 1);
            bool known = rel == "docs" || isTemporary(name);
            for (const Expected& f : s_shared->files) known = known || f.path == rel;
            EXPECT_TRUE(known) << rel << " appeared in the destination";
        }
        return fresh;
    }

    // Kills a sync with SIGKILL once `ready` holds, checks what it left,
    // runs the sync again and checks that it finished the job. Returns
    // whether the kill struck while a file was being written.
    bool killAndResume(const char* moment, const std::function<bool(const TempTree&, pid_t)>& ready) {
        SCOPED_TRACE(moment);
        auto right = oldDestination();
        auto p = start(syncArguments(*right));
        const auto pid = static_cast<pid_t>(p->processId());
        const bool struck = waitUntil(*p, [&] { return ready(*right, pid); });
        EXPECT_TRUE(struck) << "the sync ended before the moment came: " << p->readAllStandardOutput().toStdString();
        if (struck) {
            sendSignal(*p, SIGKILL);
            p->waitForFinished(10000);
            EXPECT_EQ(p->exitStatus(), QProcess::CrashExit);
        }
        p->waitForFinished(60000);

        const std::vector<std::string> fresh = checkOldOrNew(*right);
        EXPECT_LT(fresh.size(), s_shared->files.size()) << "the kill came after the last copy";

        const QString config = QString::fromStdString(s_shared->tree.path("config"));
        const CommandResult again = runQuorvane(syncArguments(*right), config);
        EXPECT_EQ(again.exitCode, 0) << again.out.toStdString() << again.err.toStdString();
        EXPECT_EQ(join(temporariesBelow(right->root())), "") << "temporaries the second run left in the destination";
        for (const Expected& f : s_shared->files) EXPECT_TRUE(f.newVersion->isIn(right->path(f.path))) << f.path;
        const CommandResult compare = runQuorvane({"compare", QString::fromStdString(s_shared->tree.path("left")),
                                                   QString::fromStdString(right->root())});
        EXPECT_EQ(compare.exitCode, 0) << compare.out.toStdString();
        return struck;
    }

    struct Shared {
        TempTree tree;
        ScopedEnv home{"HOME", tree.path("home")};
        ScopedEnv data{"XDG_DATA_HOME", tree.path("data")};
        std::vector<Expected> files;
    };
    static Shared* s_shared;
};

SyncCrash::Shared* SyncCrash::s_shared = nullptr;

TEST_F(SyncCrash, AKilledSyncLeavesOldOrNewFilesAndTheNextRunFinishes) {
    bool struckInsideACopy = false;
    // As soon as the first large copy has its temporary (the notes go first).
    struckInsideACopy |= killAndResume("first large copy started", [](const TempTree& right, pid_t pid) {
        return largestWriteInProgress(pid, right.root()) >= 0;
    });
    // A later file well under way, after one large file was replaced.
    struckInsideACopy |= killAndResume("second large file under way", [](const TempTree& right, pid_t pid) {
        const Expected& first = s_shared->files[0];
        struct stat st {};
        return ::lstat(right.path(first.path).c_str(), &st) == 0 && st.st_size == first.newVersion->size() &&
               largestWriteInProgress(pid, right.root()) >= 64 * kMiB;
    });
    EXPECT_TRUE(struckInsideACopy) << "no kill landed inside a copy: nothing was tested";
}

TEST_F(SyncCrash, CtrlCStopsTheCopyInFlightAndReportsIt) {
    auto right = oldDestination();
    auto p = start(syncArguments(*right, true));
    const auto pid = static_cast<pid_t>(p->processId());
    ASSERT_TRUE(waitUntil(*p, [&] { return largestWriteInProgress(pid, right->root()) >= 32 * kMiB; }))
        << p->readAllStandardOutput().toStdString();
    sendSignal(*p, SIGINT);
    ASSERT_TRUE(p->waitForFinished(30000));
    EXPECT_EQ(p->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p->exitCode(), 130);

    const std::vector<std::string> fresh = checkOldOrNew(*right);
    EXPECT_EQ(join(temporariesBelow(right->root())), "");

    // The report: rows before the one in flight done, that one cancelled,
    // the rest never started; and the files on disk say the same.
    const QByteArray out = p->readAllStandardOutput();
    QJsonParseError error{};
    const QJsonObject report = QJsonDocument::fromJson(out, &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << out.toStdString();
    EXPECT_EQ(report.value("status").toString(), "cancelled");
    std::map<std::string, std::string> statusByPath;
    int cancelled = 0;
    std::string stage = "done";
    for (const QJsonValue& v : report.value("rows").toArray()) {
        const QJsonObject row = v.toObject();
        const std::string path = row.value("path").toString().toStdString();
        const std::string status = row.value("status").toString().toStdString();
        statusByPath[path] = status;
        if (status == "cancelled") {
            ++cancelled;
            // The temporary that was growing belonged to a large file.
            EXPECT_EQ(path.rfind("big-", 0), 0u) << path;
            EXPECT_EQ(stage, "done") << path << ": a second row in flight";
            stage = "pending";
            continue;
        }
        EXPECT_EQ(status, stage) << path;
    }
    EXPECT_EQ(cancelled, 1) << out.toStdString();
    for (const Expected& f : s_shared->files) {
        // A row may stand for the file or for its folder.
        std::string status;
        for (const auto& [path, s] : statusByPath)
            if (f.path == path || f.path.rfind(path + "/", 0) == 0) status = s;
        const bool isNew = std::find(fresh.begin(), fresh.end(), f.path) != fresh.end();
        EXPECT_EQ(isNew, status == "done") << f.path << " reported " << status;
    }
}

TEST_F(SyncCrash, SigtermEndsTheSyncWithinASecondAndLeavesNothingHalfWritten) {
    auto right = oldDestination();
    auto p = start(syncArguments(*right, true));
    const auto pid = static_cast<pid_t>(p->processId());
    ASSERT_TRUE(waitUntil(*p, [&] { return largestWriteInProgress(pid, right->root()) >= 32 * kMiB; }))
        << p->readAllStandardOutput().toStdString();
    const auto sent = std::chrono::steady_clock::now();
    sendSignal(*p, SIGTERM);
    ASSERT_TRUE(p->waitForFinished(30000));
    const auto took = std::chrono::steady_clock::now() - sent;
    EXPECT_EQ(p->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p->exitCode(), 128 + SIGTERM);
    // The copy in flight is abandoned, not carried to its end (a generous bound for a loaded machine).
    EXPECT_LT(took, std::chrono::seconds(3));
    checkOldOrNew(*right);
    EXPECT_EQ(join(temporariesBelow(right->root())), "");
}

}  // namespace
}  // namespace qv::test
