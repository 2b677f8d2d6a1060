// Grants are remembered paths and access is what the kernel says; the
// folder-inside-folder test keeps names apart by their slash, minds letter
// case where the file system does, and follows links by device and inode.

#include "app/KSandbox.h"
#include "support/TempTree.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace qv::test {
namespace {

TEST(KSandboxTest, FolderInsideFolderByPath) {
    EXPECT_TRUE(KSandbox::ThisIsParent("/data/a", "/data/a/b"));
    EXPECT_TRUE(KSandbox::ThisIsParent("/data/a/", "/data/a/b/", false));
    EXPECT_TRUE(KSandbox::ThisIsParent("/data/a", "/data/a/"));
    EXPECT_FALSE(KSandbox::ThisIsParent("/data/a", "/data/a", false));
    EXPECT_FALSE(KSandbox::ThisIsParent("/data/a/", "/data/a", false));
    // The slash keeps a sibling whose name only begins the same way outside.
    EXPECT_FALSE(KSandbox::ThisIsParent("/data/a", "/data/ab"));
    EXPECT_FALSE(KSandbox::ThisIsParent("/data/a", "/data/ab/c", false));
    EXPECT_FALSE(KSandbox::ThisIsParent("", "/data/a"));
    EXPECT_TRUE(KSandbox::ThisIsParent("/", "/data"));
    EXPECT_FALSE(KSandbox::ThisIsParent("/data/a/b", "/data/a"));
}

TEST(KSandboxTest, LetterCaseCountsOnACaseSensitiveFileSystem) {
    TempTree tree;
    tree.folder("Photos/b");
    tree.folder("photos/b");
    // Two different folders on ext4 or tmpfs, whatever a case-folding system would say.
    EXPECT_FALSE(KSandbox::ThisIsParent(tree.path("Photos"), tree.path("photos/b")));
    EXPECT_FALSE(KSandbox::ThisIsParent(tree.path("Photos"), tree.path("photos/b"), false));
    EXPECT_TRUE(KSandbox::ThisIsParent(tree.path("photos"), tree.path("photos/b"), false));
}

TEST(KSandboxTest, LinksLeadingInsideCountWhenEqualPathsCount) {
    TempTree tree;
    tree.folder("parent/sub/deep");
    tree.folder("other");
    tree.link("via", tree.path("parent/sub"));
    tree.link("via2", "via/deep");             // a link to a link, relative
    tree.link("parent/out", tree.path("other"));
    tree.link("loop1", "loop2");
    tree.link("loop2", "loop1");

    EXPECT_TRUE(KSandbox::ThisIsParent(tree.path("parent"), tree.path("via")));
    EXPECT_TRUE(KSandbox::ThisIsParent(tree.path("parent"), tree.path("via2")));
    EXPECT_TRUE(KSandbox::ThisIsParent(tree.path("parent/sub"), tree.path("via")));
    // The strict form is a question about the paths alone.
    EXPECT_FALSE(KSandbox::ThisIsParent(tree.path("parent"), tree.path("via"), false));
    // A link that leads from one folder into another lies inside that other one.
    EXPECT_TRUE(KSandbox::ThisIsParent(tree.path("other"), tree.path("parent/out")));
    EXPECT_FALSE(KSandbox::ThisIsParent(tree.path("parent/sub"), tree.path("other")));
    // A cycle of links neither hangs nor answers yes.
    EXPECT_FALSE(KSandbox::ThisIsParent(tree.path("parent"), tree.path("loop1")));
    EXPECT_FALSE(KSandbox::ThisIsParent(tree.path("missing"), tree.path("parent/sub")));
}

TEST(KSandboxTest, TokensCountTheirHolders) {
    auto token = KSandboxURL::SandboxURL("/data/a", false);
    EXPECT_EQ(token->iRetain, 0);
    token->RetainAccess();
    token->RetainAccess();
    token->ReleaseAccess();
    EXPECT_TRUE(token->accessOpen());
    token->ReleaseAccess();
    token->ReleaseAccess();
    EXPECT_FALSE(token->accessOpen());
    EXPECT_EQ(token->iRetain, 0);
    EXPECT_TRUE(token->isEqual("/data/a"));
    EXPECT_FALSE(token->isEqual(*KSandboxURL::SandboxURL("/data/a", true)));
}

TEST(KSandboxTest, RememberedGrantsAnswerForWhatTheyHold) {
    TempTree tree;
    tree.folder("chosen/x");
    tree.folder("dropped/y");
    KSandbox sandbox;
    EXPECT_EQ(sandbox.GetParentOf(tree.path("chosen/x"), true, false), "");
    sandbox.SaveAccessToFolder(tree.path("chosen") + "/", false);
    sandbox.SaveAccessToFolder(tree.path("dropped"), true);
    sandbox.SaveAccessToFolder(tree.path("dropped"), true);
    EXPECT_EQ(sandbox.iSavedBookmarks().size(), 2u);
    EXPECT_EQ(sandbox.GetParentOf(tree.path("chosen/x"), true, false), tree.path("chosen"));
    EXPECT_EQ(sandbox.GetParentOf(tree.path("chosen/x"), true, true), "");
    EXPECT_EQ(sandbox.GetParentOf(tree.path("dropped/y"), true, true), tree.path("dropped"));
    EXPECT_EQ(sandbox.GetParentOf(tree.path("chosen"), false, false), "");

    // A grant handed out and back opens and closes the remembered token.
    const std::string grant = sandbox.GrantAccesToFolder(tree.path("chosen"), true, false, QString(), true);
    EXPECT_EQ(grant, tree.path("chosen"));
    EXPECT_TRUE(sandbox.iSavedBookmarks()[0]->accessOpen());
    sandbox.ReleaseAccesToFolder(grant);
    EXPECT_FALSE(sandbox.iSavedBookmarks()[0]->accessOpen());
    EXPECT_EQ(sandbox.GrantAccesToFolder(tree.path("chosen"), true, true), "");
    EXPECT_TRUE(KSandbox::CheckForFDA());
}

TEST(KSandboxTest, AccessIsWhatTheKernelAllows) {
    TempTree tree;
    tree.folder("open");
    tree.fileWithText("open/f", "x");
    KSandbox sandbox;
    EXPECT_TRUE(sandbox.IsAccessibleFromSandbox(tree.path("open"), false));
    EXPECT_TRUE(sandbox.IsAccessibleFromSandbox(tree.path("open/f"), true));
    EXPECT_FALSE(sandbox.IsAccessibleFromSandbox(tree.path("missing"), false));
    EXPECT_FALSE(sandbox.IsAccessibleFromSandbox("", false));
    if (::geteuid() == 0) GTEST_SKIP() << "permission bits do not stop root";
    ::chmod(tree.path("open").c_str(), 0500);
    EXPECT_FALSE(sandbox.IsAccessibleFromSandbox(tree.path("open"), true));
    EXPECT_TRUE(sandbox.IsAccessibleFromSandbox(tree.path("open"), false));
    ::chmod(tree.path("open").c_str(), 0700);
}

}  // namespace
}  // namespace qv::test
