// Scripts in the window program: a comparison made with ShowUI YES shows
// its window with the pair, one made with NO stays hidden and asks nothing,
// switching ShowUI shows or hides it, and a close command hides the window
// at once and closes the document after 3 s, its number never given again.

#include "app/QuorvaneModule.h"
#include "base/Settings.h"
#include "scripting/KQuorvaneASCommand.h"
#include "scripting/KQuorvaneScripting.h"
#include "support/ScopedEnv.h"
#include "support/TempTree.h"
#include "support/WaitFor.h"
#include "ui/ApplicationDelegate.h"
#include "ui/ApplicationScripting.h"
#include "ui/ComparisonWindow.h"
#include "ui/KQVDocument.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>

namespace qv::test {
namespace {

class ApplicationScriptingTest : public ::testing::Test {
protected:
    void SetUp() override {
        tmpdir = std::make_unique<ScopedEnv>("TMPDIR", temporary.path().toStdString());
        settings = std::make_unique<Settings>(
            std::make_unique<QSettings>(config.filePath(QStringLiteral("q.ini")), QSettings::IniFormat));
        delegate = std::make_unique<ApplicationDelegate>(*settings);
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
        makeScriptCommand(QString::fromLatin1(name), *scripting, *settings, std::move(args))
            ->perform([&](const ScriptResult& r) { result = r; });
        EXPECT_TRUE(waitUntil([&] { return result.has_value(); })) << name;
        return result.value_or(ScriptResult{});
    }
    KQVDocument* document(int id) { return static_cast<KQVDocument*>(host->comparison(id)); }

    QTemporaryDir config, temporary;
    std::unique_ptr<ScopedEnv> tmpdir;
    std::unique_ptr<Settings> settings;
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
    EXPECT_FALSE(h->window()->isVisible());
    EXPECT_FALSE(h->window()->module().prompt().showsUI());
    // Both are documents of the application, the most recent first.
    ASSERT_EQ(delegate->documents().size(), 2u);
    EXPECT_EQ(delegate->documents().front(), h);

    // A re-run may change it either way.
    ASSERT_FALSE(run("compare", {{"Comparison", hidden.comparison}, {"ShowUI", true}}).error);
    EXPECT_TRUE(h->window()->isVisible());
    EXPECT_TRUE(h->window()->module().prompt().showsUI());
    ASSERT_FALSE(run("compare", {{"Comparison", shown.comparison}, {"ShowUI", false}}).error);
    EXPECT_FALSE(d->window()->isVisible());
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
    ASSERT_TRUE(waitUntil([&] { return window.isNull(); }, 6000));
    EXPECT_GE(timer.elapsed(), KQVDocument::kScriptCloseDelayMs - 200);
    EXPECT_EQ(removed, std::vector<int>{made.comparison});
    EXPECT_TRUE(delegate->documents().empty());
    EXPECT_EQ(run("close", {{"Comparison", made.comparison}}).error.number, -1728);
    // The next comparison gets the next number, not the one closed.
    EXPECT_EQ(run("compare", {{"Left", QString::fromStdString(left.root())},
                              {"Right", QString::fromStdString(right.root())}, {"ShowUI", false}})
                  .comparison,
              made.comparison + 1);
}

}  // namespace
}  // namespace qv::test
