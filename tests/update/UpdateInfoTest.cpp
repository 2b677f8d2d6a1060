#include "update/KUpgradeDownloader.h"
#include "update/UpdateInfo.h"
#include "update/UpdateServer.h"
#include "support/ScopedEnv.h"
#include "support/TestSettings.h"

#include <gtest/gtest.h>

namespace qv::update {
namespace {

const QByteArray kDigestHex = QByteArray(64, 'a');

TEST(UpdateInfoTest, TokensAreSplitAtColonsAsAZeroTerminatedString) {
    const UpdateInfo full = readVersionFile("00101:quorvane-00101.tar.xz:4096:" + kDigestHex + "\n");
    EXPECT_EQ(full.version, QStringLiteral("00101"));
    EXPECT_EQ(full.archive, QStringLiteral("quorvane-00101.tar.xz"));
    EXPECT_EQ(full.size, 4096);
    EXPECT_EQ(full.sha256, QByteArray::fromHex(kDigestHex));
    EXPECT_TRUE(full.installable());

    // Empty tokens vanish; a NUL ends the text.
    const UpdateInfo merged = readVersionFile("::00200::a.tar.xz");
    EXPECT_EQ(merged.version, QStringLiteral("00200"));
    EXPECT_EQ(merged.archive, QStringLiteral("a.tar.xz"));
    EXPECT_FALSE(merged.installable());
    EXPECT_FALSE(readVersionFile(QByteArray("00200", 5) + '\0' + ":a.tar.xz").offersVersion());

    // One token is no update at all.
    EXPECT_FALSE(readVersionFile("00999\n").offersVersion());
    EXPECT_FALSE(NewVerAvaible(readVersionFile("00999\n"), QStringLiteral("00100")));
}

TEST(UpdateInfoTest, LongTokensAreCutAndOnlyTheFirstKilobyteIsRead) {
    const UpdateInfo cut = readVersionFile("123456789012345:" + QByteArray(300, 'n'));
    EXPECT_EQ(cut.version, QStringLiteral("12345678901"));
    EXPECT_EQ(cut.archive.size(), kArchiveNameLength);

    // The second token starts past byte 1024: the file has one token.
    EXPECT_FALSE(readVersionFile("00200" + QByteArray(1100, ' ') + ":late.tar.xz").offersVersion());
}

TEST(UpdateInfoTest, OnlyAPlainNameWithALengthAndAnExactDigestIsInstallable) {
    const QByteArray tail = ":10:" + kDigestHex;
    EXPECT_FALSE(readVersionFile("00200:../evil.tar.xz" + tail).installable());
    EXPECT_FALSE(readVersionFile("00200:sub/evil.tar.xz" + tail).installable());
    EXPECT_FALSE(readVersionFile("00200:..:10:" + kDigestHex).installable());
    EXPECT_FALSE(readVersionFile("00200:a.tar.xz:0:" + kDigestHex).installable());
    EXPECT_FALSE(readVersionFile("00200:a.tar.xz:ten:" + kDigestHex).installable());
    EXPECT_FALSE(readVersionFile("00200:a.tar.xz:10:" + QByteArray(63, 'a') + 'z').installable());
    EXPECT_FALSE(readVersionFile("00200:a.tar.xz:10:" + kDigestHex + "00").installable());
    EXPECT_TRUE(readVersionFile("00200:a.tar.xz:10:" + kDigestHex.toUpper()).installable());
}

TEST(UpdateInfoTest, TheFirstFiveDigitsDecideAndOnlyAGreaterNumberIsNew) {
    EXPECT_EQ(versionNumber(QStringLiteral("00100")), 100);
    EXPECT_EQ(versionNumber(QStringLiteral("1234567")), 12345);
    EXPECT_EQ(versionNumber(QStringLiteral("12a45")), 12);
    EXPECT_EQ(versionNumber(QStringLiteral("beta")), 0);
    const auto offer = [](const char* server) { return readVersionFile(QByteArray(server) + ":a.tar.xz"); };
    EXPECT_TRUE(NewVerAvaible(offer("10101"), QStringLiteral("10100")));
    EXPECT_FALSE(NewVerAvaible(offer("10100"), QStringLiteral("10100")));
    EXPECT_FALSE(NewVerAvaible(offer("10099"), QStringLiteral("10100")));
    // Characters past the fifth do not count.
    EXPECT_FALSE(NewVerAvaible(offer("101009"), QStringLiteral("10100")));
    EXPECT_EQ(displayVersion(QStringLiteral("10203")), QStringLiteral("1.0203"));
}

class CheckScheduleTest : public ::testing::Test {
protected:
    test::TestSettings settings;
    const QDateTime now = QDateTime(QDate(2024, 5, 1), QTime(12, 0), Qt::UTC);

    void lastCheckedHoursAgo(double hours) {
        settings.store(QStringLiteral("CFUdate"), now.addSecs(qint64(-hours * 3600)).toString(Qt::ISODate));
    }
};

TEST_F(CheckScheduleTest, AChecksComesAtMostEveryFortyEightHours) {
    EXPECT_TRUE(KUpgradeDownloader::TimeToCheck(settings, now));   // never checked
    lastCheckedHoursAgo(47);
    EXPECT_FALSE(KUpgradeDownloader::TimeToCheck(settings, now));
    settings.store(QStringLiteral("CFUdate"), now.addSecs(-kCheckIntervalSeconds + 1).toString(Qt::ISODate));
    EXPECT_FALSE(KUpgradeDownloader::TimeToCheck(settings, now));
    lastCheckedHoursAgo(48);
    EXPECT_TRUE(KUpgradeDownloader::TimeToCheck(settings, now));
    // A date in the future (the clock was set back) would silence checks for good.
    lastCheckedHoursAgo(-100);
    EXPECT_TRUE(KUpgradeDownloader::TimeToCheck(settings, now));
    settings.store(QStringLiteral("CFUdate"), QStringLiteral("not a date"));
    EXPECT_TRUE(KUpgradeDownloader::TimeToCheck(settings, now));

    lastCheckedHoursAgo(1000);
    settings.store(QStringLiteral("autoCheckForUpdate"), false);
    EXPECT_FALSE(KUpgradeDownloader::TimeToCheck(settings, now));
}

TEST_F(CheckScheduleTest, TheServerComesFromTheEnvironmentBeforeTheSetting) {
    test::ScopedEnv unset("QV_UPDATE_URL", std::nullopt);
    EXPECT_EQ(updateServerFolder(settings).scheme(), QStringLiteral("https"));
    settings.store(QStringLiteral("updateURL"), QStringLiteral("/srv/mirror/quorvane"));
    EXPECT_EQ(updateServerFolder(settings), QUrl::fromLocalFile(QStringLiteral("/srv/mirror/quorvane")));
    EXPECT_EQ(serverFile(updateServerFolder(settings), QStringLiteral("update.ver")),
              QUrl::fromLocalFile(QStringLiteral("/srv/mirror/quorvane/update.ver")));
    settings.store(QStringLiteral("updateURL"), QStringLiteral("relative/folder"));
    EXPECT_FALSE(updateServerFolder(settings).isValid());

    test::ScopedEnv set("QV_UPDATE_URL", "http://127.0.0.1:9/r");
    EXPECT_EQ(serverFile(updateServerFolder(settings), QStringLiteral("a:b.tar.xz")).toString(),
              QStringLiteral("http://127.0.0.1:9/r/a:b.tar.xz"));
}

}  // namespace
}  // namespace qv::update
