#include "sync/DragCopyQueue.h"

#include "support/ScriptedPrompt.h"
#include "support/TempTree.h"
#include "support/TestSettings.h"
#include "support/WaitFor.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace qv::test {
namespace {

struct DragCopyQueueTest : ::testing::Test {
    TestSettings settings;
    ScriptedPrompt prompt;
    TempTree from, into;
};

// Waits without handling events, so that the queue's end stays unannounced.
bool waitUntilOnDisk(const TempTree& tree, const std::string& relative) {
    for (int i = 0; i < 500; ++i) {
        if (tree.exists(relative)) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

TEST_F(DragCopyQueueTest, DropsMadeBeforeTheEndIsAnnouncedAreOneBatch) {
    from.fileWithText("first.txt", "1");
    from.fileWithText("second.txt", "2");
    DragCopyQueue queue(prompt, settings);
    int started = 0, itemsReported = 0;
    std::vector<int> finished, itemsReportedAtEnd;
    QObject::connect(&queue, &DragCopyQueue::started, [&] { ++started; });
    QObject context;
    QObject::connect(&queue, &DragCopyQueue::itemFinished, &context, [&] { ++itemsReported; });
    QObject::connect(&queue, &DragCopyQueue::finished, [&](int failures) {
        finished.push_back(failures);
        itemsReportedAtEnd.push_back(itemsReported);
    });

    queue.enqueue(into.root(), {from.path("first.txt"), from.path("missing.txt")}, true);
    ASSERT_TRUE(waitUntilOnDisk(into, "first.txt"));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));   // the worker has run empty by now
    queue.enqueue(into.root(), {from.path("second.txt")}, true);
    EXPECT_TRUE(queue.busy());
    // Both drops are copied before the first "ran empty" is handled.
    ASSERT_TRUE(waitUntilOnDisk(into, "second.txt"));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_TRUE(waitUntil([&] { return !finished.empty() && !queue.busy(); }, 10000));
    QCoreApplication::processEvents();

    EXPECT_EQ(into.contents("second.txt"), "2");
    EXPECT_EQ(started, 1);
    ASSERT_EQ(finished.size(), 1u) << "one batch, one end";
    EXPECT_EQ(finished.front(), 1) << "the missing item of the first drop is counted at the end";
    EXPECT_EQ(itemsReportedAtEnd.front(), 3) << "the end comes after every item's report";

    // A later drop is a batch of its own again.
    queue.enqueue(into.root(), {from.path("missing.txt")}, true);
    ASSERT_TRUE(waitUntil([&] { return finished.size() == 2; }, 10000));
    EXPECT_EQ(started, 2);
    EXPECT_EQ(finished.back(), 1);
}

}  // namespace
}  // namespace qv::test
