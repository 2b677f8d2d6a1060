#include "base/Settings.h"
#include "app/history/FolderHistory.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace qv {
namespace {

class FolderHistoryTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QSettings* raw = nullptr;
    std::unique_ptr<Settings> settings;

    void SetUp() override {
        auto store = std::make_unique<QSettings>(dir.filePath(QStringLiteral("h.ini")), QSettings::IniFormat);
        raw = store.get();
        settings = std::make_unique<Settings>(std::move(store));
    }
    static QString n(int i) { return QStringLiteral("/p/%1").arg(i); }
};

TEST_F(FolderHistoryTest, PairsAreKeptOnceTrimmedAndLockedEntriesSurvive) {
    FolderHistory history(*settings, true);
    history.StoreFolderHistory(QStringLiteral("/a"), QStringLiteral("/b"));
    history.StoreFolderHistory(QStringLiteral("/B"), QStringLiteral("/A"));   // reversed and other case: the same pair
    ASSERT_EQ(history.pairs().size(), 1u);

    for (int i = 0; i < 20; ++i) history.StoreFolderHistory(n(i), n(i + 100));
    auto pairs = history.pairs();
    ASSERT_EQ(pairs.size(), 16u);   // "fHistoryLimit" 15 holds 16
    EXPECT_EQ(pairs.front().l, n(4));
    EXPECT_EQ(pairs.back().l, n(19));

    // Locking moves an entry to the end of the locked group; trimming and clearing spare it.
    ASSERT_TRUE(history.setLocked(5, true));
    EXPECT_EQ(history.pairs().front().l, n(9));
    EXPECT_TRUE(history.pairs().front().locked);
    history.StoreFolderHistory(QStringLiteral("/x"), QStringLiteral("/y"));
    EXPECT_EQ(history.pairs().front().l, n(9));
    history.ClearFolderHistory();
    ASSERT_EQ(history.pairs().size(), 1u);
    EXPECT_EQ(history.pairs().front().l, n(9));

    // With every entry locked, nothing is removed past the limit.
    settings->setOverride(QStringLiteral("fHistoryLimit"), 1);
    history.StoreFolderHistory(QStringLiteral("/m"), QStringLiteral("/n"));
    ASSERT_TRUE(history.setLocked(1, true));
    history.StoreFolderHistory(QStringLiteral("/o"), QStringLiteral("/p"));
    EXPECT_EQ(history.pairs().size(), 2u);
    EXPECT_TRUE(history.pairs()[0].locked && history.pairs()[1].locked);

    // The file history is a list of its own.
    EXPECT_TRUE(FolderHistory(*settings, false).pairs().empty());
}

TEST_F(FolderHistoryTest, SinglePathListsReadTheOlderFormAndLockBySwapping) {
    raw->setValue(QStringLiteral("lastFolders"), QStringList{QStringLiteral("/newest"), QStringLiteral("/oldest")});
    KLastFolders list(*settings, QStringLiteral("lastFolders"));
    ASSERT_EQ(list.items().size(), 2u);
    EXPECT_EQ(list.items()[0].path, QStringLiteral("/oldest"));
    list.AddFolder(QStringLiteral("/NEWEST"));   // differs only by case: not added again
    list.AddFolder(QStringLiteral("/third"));
    ASSERT_EQ(list.items().size(), 3u);
    ASSERT_TRUE(list.setLocked(0, true));
    ASSERT_TRUE(list.setLocked(1, true));
    ASSERT_TRUE(list.setLocked(2, true));   // the last one joins the two locked ones
    EXPECT_EQ(list.StoredBookmarkForFolder(QStringLiteral("/third/sub")), QStringLiteral("/third"));
    list.store();
    KLastFolders again(*settings, QStringLiteral("lastFolders"));
    ASSERT_EQ(again.items().size(), 3u);
    EXPECT_TRUE(again.items()[2].locked);
    EXPECT_TRUE(raw->contains(QStringLiteral("lastFolders75")));
    again.ClearHistory();
    EXPECT_EQ(again.items().size(), 3u);
}

// The stored lists read as plain paths in the INI file; the older stored
// form (a list of maps, "@Variant(…)" in the file) is still read, so that
// users keep their history.
TEST_F(FolderHistoryTest, ListsAreStoredAsReadableTextAndTheOlderFormIsStillRead) {
    raw->setValue(QStringLiteral("folderHist"),
                  QVariantList{QVariantMap{{QStringLiteral("l"), QStringLiteral("/old, left")},
                                           {QStringLiteral("r"), QStringLiteral("/old/right")},
                                           {QStringLiteral("locked"), true}}});
    raw->setValue(QStringLiteral("lastFiles75"),
                  QVariantList{QVariantMap{{QStringLiteral("path"), QStringLiteral("/f")}, {QStringLiteral("locked"), false}}});
    raw->sync();
    FolderHistory history(*settings, true);
    ASSERT_EQ(history.pairs().size(), 1u);
    EXPECT_TRUE(history.pairs()[0].locked);
    history.StoreFolderHistory(QStringLiteral("/new/l\u00e9ft"), QStringLiteral("/new/right"));
    KLastFolders files(*settings, QStringLiteral("lastFiles"));
    ASSERT_EQ(files.items().size(), 1u);
    files.AddFolder(QStringLiteral("/g"));
    files.store();
    raw->sync();

    QFile ini(dir.filePath(QStringLiteral("h.ini")));
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    const QByteArray text = ini.readAll();
    EXPECT_FALSE(text.contains("@Variant")) << text.toStdString();
    EXPECT_TRUE(text.contains("/new/right")) << text.toStdString();
    EXPECT_TRUE(text.contains("folderHistLocked=1")) << text.toStdString();

    // Read back, in order, locks and all.
    const std::vector<HistoryPair> pairs = FolderHistory(*settings, true).pairs();
    ASSERT_EQ(pairs.size(), 2u);
    EXPECT_EQ(pairs[0].l, QStringLiteral("/old, left"));
    EXPECT_TRUE(pairs[0].locked);
    EXPECT_EQ(pairs[1].l, QStringLiteral("/new/l\u00e9ft"));
    EXPECT_FALSE(pairs[1].locked);
    const KLastFolders again(*settings, QStringLiteral("lastFiles"));
    ASSERT_EQ(again.items().size(), 2u);
    EXPECT_EQ(again.items()[1].path, QStringLiteral("/g"));
    // An emptied list stays empty: the older plain key is not read again.
    raw->setValue(QStringLiteral("lastFiles"), QStringList{QStringLiteral("/ancient")});
    KLastFolders cleared(*settings, QStringLiteral("lastFiles"));
    ASSERT_TRUE(cleared.remove(0) && cleared.remove(0));
    cleared.store();
    EXPECT_TRUE(KLastFolders(*settings, QStringLiteral("lastFiles")).items().empty());
}

}  // namespace
}  // namespace qv
