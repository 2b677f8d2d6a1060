#include "base/Settings.h"
#include "app/history/FolderHistory.h"

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

}  // namespace
}  // namespace qv
