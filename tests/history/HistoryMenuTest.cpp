// Titles of the pair history's menu: shortened to "maxLenPath" around an
// ellipsis, padded to one length, sets of folders shown by their members,
// locked entries marked, and unusable entries dropped from the stored list.

#include "app/history/HistoryMenu.h"
#include "app/history/MultiFolderSets.h"
#include "base/KappHelpQVF.h"
#include "base/Settings.h"
#include "support/ScopedEnv.h"
#include "support/TempTree.h"
#include "support/TestSettings.h"

#include <QDir>

#include <gtest/gtest.h>

namespace qv::test {
namespace {

const QString kBlank = QStringLiteral("\u2800");

TEST(HistoryMenuTest, LongPathsAreShortenedAroundAnEllipsisAndAligned) {
    const HistoryPair pair{QStringLiteral("/home/someone/projects/quorvane/"), QStringLiteral("/mnt/b"), true};
    const auto title = HistoryAttrStringForItem(pair, true, true, 5);
    ASSERT_TRUE(title.has_value());
    EXPECT_EQ(title->left, QStringLiteral("/home\u2026rvane"));
    // The shorter right part is padded at its end, then closed by a blank that keeps the padding.
    EXPECT_EQ(title->right, QStringLiteral("/mnt/b     ") + kBlank);
    EXPECT_EQ(title->leftLength, 11);
    EXPECT_EQ(title->text, title->left + QStringLiteral(" \u2022 ") + title->right);
    EXPECT_TRUE(title->locked);

    // The left part is padded at its start; paths of exactly twice the length stay whole.
    const auto aligned = HistoryAttrStringForItem({QStringLiteral("/a"), QStringLiteral("/012345678")}, true, true, 5);
    EXPECT_EQ(aligned->left, QStringLiteral("        /a"));
    EXPECT_EQ(aligned->right, QStringLiteral("/012345678") + kBlank);
    EXPECT_FALSE(aligned->locked);

    // Without shortening the paths stay as they are, bar one trailing "/".
    const auto plain = HistoryAttrStringForItem(pair, true, false, 5);
    EXPECT_EQ(plain->left, QStringLiteral("/home/someone/projects/quorvane"));
    EXPECT_EQ(plain->right, QStringLiteral("/mnt/b"));
    EXPECT_FALSE(HistoryAttrStringForItem({QString(), QStringLiteral("/b")}, true, true, 5).has_value());

    QString one = QStringLiteral("ab"), two = QStringLiteral("abcd");
    MakeEqualLengthInText1(one, two);
    EXPECT_EQ(one, QStringLiteral("  ab"));
    EXPECT_EQ(two, QStringLiteral("abcd"));
}

TEST(HistoryMenuTest, ASetOfFoldersShowsItsMembersAndGoesWhenTheSetIsGone) {
    TempTree data, folders;
    ScopedEnv dataHome("XDG_DATA_HOME", data.root());
    folders.folder("pics");
    folders.folder("Docs");
    folders.folder(".hidden");
    const QString sets = MultiFolderSets::setsFolder();
    ASSERT_TRUE(QDir().mkpath(sets + QStringLiteral("/mf1")));
    for (const char* member : {"pics", "Docs", ".hidden"})
        ASSERT_TRUE(KappHelpQVF::CreateAliasTo(QString::fromStdString(folders.path(member)), sets + QStringLiteral("/mf1")));
    int members = 0;
    EXPECT_EQ(MultiFolderSets::MultiFolderName(sets + QStringLiteral("/mf1"), &members), QStringLiteral("Docs+pics"));
    EXPECT_EQ(members, 2);

    test::TestSettings settings;
    settings.store(QStringLiteral("maxLenPath"), 40);
    FolderHistory history(settings, true);
    history.StoreFolderHistory(sets + QStringLiteral("/mf1"), QStringLiteral("/r"));
    history.StoreFolderHistory(sets + QStringLiteral("/mf2"), QStringLiteral("/r2"));   // no such set
    history.StoreFolderHistory(QStringLiteral("/l3"), QStringLiteral("/r3"));
    const std::vector<HistoryMenuItem> menu = FolderHistoryMenu(settings, true);
    ASSERT_EQ(menu.size(), 2u);
    EXPECT_TRUE(menu[0].title.left.endsWith(QStringLiteral("Docs+pics")));
    EXPECT_EQ(menu[1].entry.l, QStringLiteral("/l3"));
    ASSERT_EQ(history.pairs().size(), 2u);   // the pair of the vanished set is dropped for good

    // In the file history a path is a path.
    const auto file = HistoryAttrStringForItem({sets + QStringLiteral("/mf2"), QStringLiteral("/x")}, false, false, 40);
    ASSERT_TRUE(file.has_value());
    EXPECT_EQ(file->left, sets + QStringLiteral("/mf2"));
}

}  // namespace
}  // namespace qv::test
