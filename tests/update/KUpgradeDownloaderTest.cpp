#include "update/KUpgradeDownloader.h"
#include "support/LoopbackHttpServer.h"
#include "support/ScopedEnv.h"
#include "support/TempTree.h"
#include "support/TestSettings.h"
#include "support/WaitFor.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace qv::update {
namespace {

using test::HttpAnswer;

QByteArray versionLine(const char* version, const QByteArray& archive) {
    return QByteArray(version) + ":a.tar.xz:" + QByteArray::number(archive.size()) + ':' +
           QCryptographicHash::hash(archive, QCryptographicHash::Sha256).toHex() + '\n';
}

class KUpgradeDownloaderTest : public ::testing::Test {
protected:
    // A temporary folder of the test's own, so the temporary files it looks for are only its own.
    QTemporaryDir temp;
    test::ScopedEnv tmpdir{"TMPDIR", temp.path().toStdString()};
    test::LoopbackHttpServer server;
    QTemporaryDir dir;
    test::TestSettings settings;
    KUpgradeDownloader downloader{server.folder(), QStringLiteral("00100"), settings};
    const QByteArray archive = QByteArray(200000, 'r');

    const UpdateCheckResult& check() {
        downloader.DownloadUpdateInfo();
        EXPECT_TRUE(test::waitFor(&downloader, &KUpgradeDownloader::checkFinished));
        return downloader.result();
    }

    void offerRelease() {
        server.serve(QStringLiteral("update.ver"), versionLine("00101", archive));
        server.serve(QStringLiteral("englishNews.md"), "# New\n");
        server.serve(QStringLiteral("a.tar.xz"), archive);
        server.serve(QStringLiteral("a.tar.xz.sig"), QByteArray(64, 's'));
    }

    bool download() {
        const UpdateCheckResult& r = check();
        EXPECT_EQ(r.outcome, CheckOutcome::NewVersion);
        bool ok = false;
        QObject::connect(&downloader, &KUpgradeDownloader::downloadFinished, [&ok](bool success) { ok = success; });
        downloader.Download(dir.path());
        EXPECT_TRUE(test::waitFor(&downloader, &KUpgradeDownloader::downloadFinished));
        return ok;
    }

    bool lastCheckStored() const { return settings.isStored(QStringLiteral("CFUdate")); }
};

TEST_F(KUpgradeDownloaderTest, ANewVersionBringsItsNotesAndRecordsTheCheck) {
    offerRelease();
    const UpdateCheckResult& r = check();
    ASSERT_EQ(r.outcome, CheckOutcome::NewVersion) << r.reason.toStdString();
    EXPECT_EQ(r.info.version, QStringLiteral("00101"));
    ASSERT_TRUE(r.notes.has_value());
    EXPECT_EQ(*r.notes, QStringLiteral("# New\n"));
    EXPECT_EQ(r.versionFile, versionLine("00101", archive));
    EXPECT_TRUE(lastCheckStored());
    EXPECT_FALSE(KUpgradeDownloader::TimeToCheck(settings, QDateTime::currentDateTimeUtc()));
    // The archive is fetched only when asked for.
    EXPECT_EQ(server.requests(QStringLiteral("a.tar.xz")), 0);
    // The temporary copies of the version file and the notes are gone.
    EXPECT_TRUE(QDir(temp.path()).entryList({QStringLiteral("upd-*")}, QDir::Files).isEmpty());
}

TEST_F(KUpgradeDownloaderTest, TheSameOrAnOlderVersionOrOneTokenIsNoUpdate) {
    for (const QByteArray& file : {QByteArray("00100:a.tar.xz\n"), QByteArray("00099:a.tar.xz\n"), QByteArray("00500\n")}) {
        server.serve(QStringLiteral("update.ver"), file);
        const UpdateCheckResult& r = check();
        EXPECT_EQ(r.outcome, CheckOutcome::NoNewVersion) << file.toStdString();
    }
    EXPECT_EQ(server.requests(QStringLiteral("englishNews.md")), 0);
    EXPECT_TRUE(lastCheckStored());
}

TEST_F(KUpgradeDownloaderTest, MissingNotesStillOfferTheVersion) {
    offerRelease();
    server.serve(QStringLiteral("englishNews.md"), HttpAnswer{500, "oops"});
    const UpdateCheckResult& r = check();
    EXPECT_EQ(r.outcome, CheckOutcome::NewVersion);
    EXPECT_FALSE(r.notes.has_value());
}

TEST_F(KUpgradeDownloaderTest, EveryBrokenVersionFileFailsTheCheckWithoutRecordingIt) {
    const std::pair<const char*, HttpAnswer> broken[] = {
        {"404", HttpAnswer{404, "not here"}},
        {"500", HttpAnswer{500, "broken"}},
        {"empty", HttpAnswer{200, ""}},
        {"no length", HttpAnswer{200, "00101:a.tar.xz", false}},
        {"over a mebibyte announced", HttpAnswer{200, "00101:a.tar.xz", true, 2 * 1024 * 1024}},
        {"over a mebibyte sent", HttpAnswer{200, QByteArray(kSmallFileLimit + 1, '1')}},
        {"cut off", HttpAnswer{200, "00101:a.tar.xz:1:2:3", true, -1, 5}},
    };
    for (const auto& [what, answer] : broken) {
        server.serve(QStringLiteral("update.ver"), answer);
        const UpdateCheckResult& r = check();
        EXPECT_EQ(r.outcome, CheckOutcome::Failed) << what;
        EXPECT_FALSE(r.reason.isEmpty()) << what;
    }
    EXPECT_FALSE(lastCheckStored());
    EXPECT_TRUE(QDir(temp.path()).entryList({QStringLiteral("upd-*")}, QDir::Files).isEmpty());
}

TEST_F(KUpgradeDownloaderTest, AVersionFileOfTwoKibibytesIsReadByItsFirstKibibyte) {
    server.serve(QStringLiteral("update.ver"), "00101:a.tar.xz\n" + QByteArray(2048, '#'));
    EXPECT_EQ(check().outcome, CheckOutcome::NewVersion);
    server.serve(QStringLiteral("update.ver"), QByteArray(1020, '0') + "99:a.tar.xz");
    EXPECT_EQ(check().outcome, CheckOutcome::NoNewVersion);
}

TEST_F(KUpgradeDownloaderTest, NothingAnswersOnAClosedPort) {
    KUpgradeDownloader nowhere(QUrl(QStringLiteral("http://127.0.0.1:1/releases/")), QStringLiteral("00100"), settings);
    nowhere.DownloadUpdateInfo();
    ASSERT_TRUE(test::waitFor(&nowhere, &KUpgradeDownloader::checkFinished));
    EXPECT_EQ(nowhere.result().outcome, CheckOutcome::Failed);
}

TEST_F(KUpgradeDownloaderTest, TheArchiveAndItsSignatureArriveWithProgress) {
    offerRelease();
    qint64 last = -1, total = -1;
    QObject::connect(&downloader, &KUpgradeDownloader::progress, [&](qint64 received, qint64 of) {
        EXPECT_GE(received, last);
        last = received;
        total = of;
    });
    ASSERT_TRUE(download()) << downloader.downloadError().toStdString();
    EXPECT_EQ(last, archive.size());
    EXPECT_EQ(total, archive.size());
    QFile file(downloader.downloadedArchive());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), archive);
    EXPECT_EQ(downloader.signature(), QByteArray(64, 's'));
}

// An archive is kept only with its signature, both arrived whole.
TEST_F(KUpgradeDownloaderTest, ABrokenTransferLeavesNoFileAndAnEarlierOneAlone) {
    struct Broken {
        const char* what;
        const char* file;
        HttpAnswer answer;
    };
    const Broken broken[] = {
        {"dropped midway", "a.tar.xz", HttpAnswer{200, QByteArray(200000, 'r'), true, -1, 70000}},
        {"larger than stated", "a.tar.xz", HttpAnswer{200, QByteArray(200001, 'r')}},
        {"announced short", "a.tar.xz", HttpAnswer{200, QByteArray(200000, 'r'), true, 1000}},
        {"404", "a.tar.xz", HttpAnswer{404, "gone"}},
        {"no signature", "a.tar.xz.sig", HttpAnswer{404, "gone"}},
    };
    for (const Broken& b : broken) {
        offerRelease();
        server.serve(QString::fromLatin1(b.file), b.answer);
        EXPECT_FALSE(download()) << b.what;
        EXPECT_FALSE(downloader.downloadError().isEmpty()) << b.what;
        EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).isEmpty()) << b.what;
    }
    // A file of that name from before stays as it was when the new transfer fails.
    QFile earlier(dir.filePath(QStringLiteral("a.tar.xz")));
    ASSERT_TRUE(earlier.open(QIODevice::WriteOnly));
    earlier.write("earlier");
    earlier.close();
    server.serve(QStringLiteral("a.tar.xz"), HttpAnswer{200, archive, true, -1, 100});
    EXPECT_FALSE(download());
    ASSERT_TRUE(earlier.open(QIODevice::ReadOnly));
    EXPECT_EQ(earlier.readAll(), QByteArray("earlier"));
}

TEST_F(KUpgradeDownloaderTest, AbortStopsTheTransferAsAFailure) {
    offerRelease();
    ASSERT_EQ(check().outcome, CheckOutcome::NewVersion);
    // The server sends half and then waits; Abort ends it.
    server.serve(QStringLiteral("a.tar.xz"), HttpAnswer{200, archive.left(1000), true, archive.size()});
    bool finished = false, ok = true;
    QObject::connect(&downloader, &KUpgradeDownloader::downloadFinished, [&](bool success) {
        finished = true;
        ok = success;
    });
    QObject::connect(&downloader, &KUpgradeDownloader::progress, [&](qint64 received, qint64) {
        if (received > 0) downloader.Abort();
    });
    downloader.Download(dir.path());
    ASSERT_TRUE(test::waitUntil([&] { return finished; }));
    EXPECT_FALSE(ok);
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("a.tar.xz"))));
}

TEST_F(KUpgradeDownloaderTest, AVersionFileThatIsNotARecognisedReleaseIsNotDownloaded) {
    server.serve(QStringLiteral("update.ver"), "00101:../../etc/passwd:10:" + QByteArray(64, 'a'));
    ASSERT_EQ(check().outcome, CheckOutcome::NewVersion);
    EXPECT_FALSE(download());
    EXPECT_EQ(server.requests(QStringLiteral("../../etc/passwd")), 0);
}

TEST_F(KUpgradeDownloaderTest, ALocalFolderServesAsWell) {
    test::TempTree folder;
    folder.fileWithText("update.ver", "00101:a.tar.xz\n");
    KUpgradeDownloader local(QUrl::fromLocalFile(QString::fromStdString(folder.root())), QStringLiteral("00100"), settings);
    local.DownloadUpdateInfo();
    ASSERT_TRUE(test::waitFor(&local, &KUpgradeDownloader::checkFinished));
    EXPECT_EQ(local.result().outcome, CheckOutcome::NewVersion) << local.result().reason.toStdString();
    EXPECT_FALSE(local.result().notes.has_value());
}

}  // namespace
}  // namespace qv::update
