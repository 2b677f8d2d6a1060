// Scripts in the window program: a comparison made with ShowUI YES shows
// its window with the pair, one made with NO compares without any window
// and asks nothing, switching ShowUI makes and shows the window with what
// the comparison holds or hides it, the user opening the pair of a
// windowless comparison gets its window, and a close command hides the
// window at once and closes the document after 3 s (with or without a
// window), its number never given again.

#include "app/QuorvaneModule.h"
#include "scripting/KQuorvaneASCommand.h"
#include "scripting/KQuorvaneScripting.h"
#include "support/ScopedEnv.h"
#include "support/TempTree.h"
#include "support/TestSettings.h"
#include "support/WaitFor.h"
#include "ui/ApplicationDelegate.h"
#include "ui/ApplicationScripting.h"
#include "ui/ComparisonModel.h"
#include "ui/ComparisonWindow.h"
#include "ui/KQVDocument.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>

namespace qv::test {
namespace {

class ApplicationScriptingTest : public ::testing::Test {
protected:
    void SetUp() override {
        tmpdir = std::make_unique<ScopedEnv>("TMPDIR", temporary.path().toStdString());
        delegate = std::make_unique<ApplicationDelegate>(settings);
        host = std::make_unique<ApplicationScripting>(*delegate);
        scripting = std::make_unique<KQuorvaneScripting>(*host);
        left.fileWithText("f.txt", "one\n");
        right.fileWithText("f.txt", "three\n");
    }
    void TearDown() override {
        scripting.reset();
        host.reset();
        delegate.reset();
        tmpdir.reset();
    }
    ScriptResult run(const char* name, QVariantMap args) {
        std::optional<ScriptResult> result;
        makeScriptCommand(QString::fromLatin1(name), *scripting, settings, std::move(args))
            ->perform([&](const ScriptResult& r) { result = r; });
        EXPECT_TRUE(waitUntil([&] { return result.has_value(); })) << name;
        return result.value_or(ScriptResult{});
    }
    KQVDocument* document(int id) { return static_cast<KQVDocument*>(host->comparison(id)); }

    QTemporaryDir temporary;
    std::unique_ptr<ScopedEnv> tmpdir;
    TestSettings settings;
    std::unique_ptr<ApplicationDelegate> delegate;
    std::unique_ptr<ApplicationScripting> host;
    std::unique_ptr<KQuorvaneScripting> scripting;
    TempTree left, right;
};

TEST_F(ApplicationScriptingTest, ShowUIShowsOrHidesTheWindowAndItsQuestions) {
    const QString l = QString::fromStdString(left.root()), r = QString::fromStdString(right.root());
    const ScriptResult shown = run("compare", {{"Left", l}, {"Right", r}});
    ASSERT_FALSE(shown.error) << shown.error.text.toStdString();
    KQVDocument* d = document(shown.comparison);
    ASSERT_NE(d, nullptr);
    ASSERT_NE(d->window(), nullptr);
    EXPECT_TRUE(d->window()->isVisible());
    EXPECT_TRUE(d->window()->module().prompt().showsUI());
    EXPECT_TRUE(d->window()->comparesPair(left.root(), right.root()));
    EXPECT_EQ(d->Differences(), 1u);

    const ScriptResult hidden = run("compare", {{"Left", l}, {"Right", r}, {"ShowUI", false}});
    ASSERT_FALSE(hidden.error);
    EXPECT_EQ(hidden.comparison, shown.comparison + 1);
    KQVDocument* h = document(hidden.comparison);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->window(), nullptr) << "a comparison without its user interface makes no window";
    EXPECT_FALSE(h->controller()->prompt().showsUI());
    EXPECT_EQ(h->Differences(), 1u);
    EXPECT_EQ(h->runState(), QStringLiteral("compared"));
    // Both are documents of the application, the most recent first.
    ASSERT_EQ(delegate->documents().size(), 2u);
    EXPECT_EQ(delegate->documents().front(), h);

    // A re-run may change it either way; the window made now shows the pair compared.
    ASSERT_FALSE(run("compare", {{"Comparison", hidden.comparison}, {"ShowUI", true}}).error);
    ASSERT_NE(h->window(), nullptr);
    EXPECT_TRUE(h->window()->isVisible());
    EXPECT_TRUE(h->controller()->prompt().showsUI());
    EXPECT_EQ(&h->window()->module(), h->controller());
    EXPECT_TRUE(h->window()->comparesPair(left.root(), right.root()));
    EXPECT_EQ(h->window()->model().rowCount(), 1);
    ASSERT_FALSE(run("compare", {{"Comparison", shown.comparison}, {"ShowUI", false}}).error);
    EXPECT_FALSE(d->window()->isVisible());
    EXPECT_FALSE(d->controller()->prompt().showsUI());
}

TEST_F(ApplicationScriptingTest, AWindowMadeAfterTheRunShowsItsPairTreeAndTab) {
    const ScriptResult made = run("compare", {{"Left", QString::fromStdString(left.root())},
                                              {"Right", QString::fromStdString(right.root())}, {"ShowUI", false}});
    ASSERT_FALSE(made.error);
    KQVDocument* d = document(made.comparison);
    ASSERT_EQ(d->window(), nullptr);
    // Shown without a new run: the window reads what the controller already holds.
    d->setIShowUI(true);
    ASSERT_NE(d->window(), nullptr);
    EXPECT_TRUE(d->window()->isVisible());
    EXPECT_TRUE(d->window()->comparesPair(left.root(), right.root()));
    EXPECT_EQ(d->window()->model().rowCount(), 1);
    EXPECT_TRUE(d->window()->windowTitle().contains(QString::fromUtf8("↔")));

    // Two files compared hidden open on the file tab.
    const ScriptResult files = run("compare", {{"Left", QString::fromStdString(left.path("f.txt"))},
                                               {"Right", QString::fromStdString(right.path("f.txt"))},
                                               {"ShowUI", false}});
    ASSERT_FALSE(files.error);
    KQVDocument* f = document(files.comparison);
    EXPECT_EQ(f->window(), nullptr);
    EXPECT_GE(f->Differences(), 1u);
    f->setIShowUI(true);
    ASSERT_NE(f->window(), nullptr);
    EXPECT_TRUE(f->window()->fileTabShown());
}

TEST_F(ApplicationScriptingTest, TheUserOpeningAWindowlessPairGetsItsWindow) {
    const ScriptResult made = run("compare", {{"Left", QString::fromStdString(left.root())},
                                              {"Right", QString::fromStdString(right.root())}, {"ShowUI", false}});
    ASSERT_FALSE(made.error);
    KQVDocument* d = document(made.comparison);
    ASSERT_EQ(d->window(), nullptr);
    // The pair handed in by hand (a file manager, a second start), in the other order.
    delegate->openFiles({right.root(), left.root()}, false);
    EXPECT_EQ(delegate->queue().OpenQueuedFiles(), d->uuid());
    ASSERT_EQ(delegate->documents().size(), 1u) << "no second document for the same pair";
    ASSERT_NE(d->window(), nullptr);
    EXPECT_TRUE(d->window()->isVisible());
    EXPECT_EQ(d->window()->model().rowCount(), 1);
    // The script's choice stands: its questions still take their defaults.
    EXPECT_FALSE(d->iShowUI());
    EXPECT_FALSE(d->controller()->prompt().showsUI());
}

TEST_F(ApplicationScriptingTest, CloseHidesAtOnceAndClosesThreeSecondsLater) {
    const ScriptResult made = run("compare", {{"Left", QString::fromStdString(left.root())},
                                              {"Right", QString::fromStdString(right.root())}});
    ASSERT_FALSE(made.error);
    KQVDocument* d = document(made.comparison);
    QPointer<ComparisonWindow> window = d->window();
    std::vector<int> removed;
    QObject::connect(host.get(), &ScriptingHost::comparisonRemoved, [&](int id) { removed.push_back(id); });

    const ScriptResult closed = run("close", {{"Comparison", made.comparison}});
    EXPECT_FALSE(closed.error);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(host->comparison(made.comparison), d);   // still listed
    QElapsedTimer timer;
    timer.start();
    ASSERT_TRUE(waitUntil([&] { return window.isNull(); }));
    EXPECT_GE(timer.elapsed(), KQVDocument::kScriptCloseDelayMs - 200);
    EXPECT_EQ(removed, std::vector<int>{made.comparison});
    EXPECT_TRUE(delegate->documents().empty());
    EXPECT_EQ(run("close", {{"Comparison", made.comparison}}).error.number, -1728);
    // Without a window the close takes as long and reports the same.
    const ScriptResult bare = run("compare", {{"Left", QString::fromStdString(left.root())},
                                              {"Right", QString::fromStdString(right.root())}, {"ShowUI", false}});
    ASSERT_FALSE(bare.error);
    ASSERT_EQ(document(bare.comparison)->window(), nullptr);
    QPointer<KQVDocument> bareDocument = document(bare.comparison);
    EXPECT_FALSE(run("close", {{"Comparison", bare.comparison}}).error);
    EXPECT_EQ(host->comparison(bare.comparison), bareDocument.data());
    timer.restart();
    ASSERT_TRUE(waitUntil([&] { return bareDocument.isNull(); }));
    EXPECT_GE(timer.elapsed(), KQVDocument::kScriptCloseDelayMs - 200);
    EXPECT_EQ(removed, (std::vector<int>{made.comparison, bare.comparison}));
    EXPECT_TRUE(delegate->documents().empty());
    // The next comparison gets the next number, not the ones closed.
    EXPECT_EQ(run("compare", {{"Left", QString::fromStdString(left.root())},
                              {"Right", QString::fromStdString(right.root())}, {"ShowUI", false}})
                  .comparison,
              bare.comparison + 1);
}

}  // namespace
}  // namespace qv::test
