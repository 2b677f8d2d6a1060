// Paths handed in one event at a time are gathered for 0.3 s: two items in
// two events open one window; a pair already open brings its window forward;
// "--start" starts the chosen window; snapshot files alone open previews.

#include "app/OpenQueue.h"
#include "support/TestSettings.h"
#include "support/WaitFor.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace qv::test {
namespace {

struct RecordingHost final : OpenQueueHost {
    struct Document {
        QString id;
        std::string left, right;
    };
    QString GetOpenedQVModule(const std::string& a, const std::string& b) override {
        for (const Document& d : documents)
            if ((d.left == a && d.right == b) || (d.left == b && d.right == a)) return d.id;
        return {};
    }
    QString newDocument(const std::string& left, const std::string& right) override {
        documents.push_back({QString::number(documents.size() + 1), left, right});
        return documents.back().id;
    }
    void bringToFront(const QString& document) override { fronted.push_back(document); }
    void startComparison(const QString& document) override { started.push_back(document); }
    void showSnapshotPreview(const std::string& file) override { previews.push_back(file); }

    std::vector<Document> documents;
    std::vector<QString> fronted, started;
    std::vector<std::string> previews;
};

class OpenQueueTest : public ::testing::Test {
protected:
    // Runs the event loop until the queue opens what it holds.
    bool opened() { return waitFor(&queue, &OpenQueue::opened, 5000); }

    TestSettings settings;
    RecordingHost host;
    OpenQueue queue{host, settings};
};

TEST_F(OpenQueueTest, TwoEventsCloseTogetherOpenOneWindowAndALaterOneAnother) {
    queue.openFiles({"/a"}, false);
    // The event loop does not run while this thread sleeps, so no timer can
    // fire early however loaded the machine: the second path comes 0.2 s later.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    queue.openFiles({"/b"}, false);
    const auto before = std::chrono::steady_clock::now();
    ASSERT_TRUE(opened());
    // The wait starts again from the latest arrival.
    EXPECT_GE(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(250));
    ASSERT_EQ(host.documents.size(), 1u);
    EXPECT_EQ(host.documents[0].left, "/a");
    EXPECT_EQ(host.documents[0].right, "/b");
    EXPECT_TRUE(host.started.empty());
    EXPECT_FALSE(queue.pending());

    queue.openFiles({"/c", "/d"}, false);
    ASSERT_TRUE(opened());
    ASSERT_EQ(host.documents.size(), 2u);
    EXPECT_EQ(host.documents[1].left, "/c");
}

TEST_F(OpenQueueTest, APairAlreadyOpenInEitherOrderComesToTheFront) {
    queue.openFiles({"/a", "/b"}, false);
    EXPECT_EQ(queue.OpenQueuedFiles(), QStringLiteral("1"));
    queue.openFiles({"/b", "/a"}, false);
    EXPECT_EQ(queue.OpenQueuedFiles(), QStringLiteral("1"));
    queue.openFiles({"/a", "/b"}, false);
    EXPECT_EQ(queue.OpenQueuedFiles(), QStringLiteral("1"));
    EXPECT_EQ(host.documents.size(), 1u);
    EXPECT_EQ(host.fronted, (std::vector<QString>{QStringLiteral("1"), QStringLiteral("1")}));
}

TEST_F(OpenQueueTest, StartComparesTheChosenWindowOnlyWhenAsked) {
    queue.openFiles({"/a", "/b"}, false);
    queue.OpenQueuedFiles();
    EXPECT_TRUE(host.started.empty());
    // A start asked for in any event of a batch holds for the batch.
    queue.openFiles({"/b"}, true);
    queue.openFiles({"/a"}, false);
    EXPECT_EQ(queue.OpenQueuedFiles(), QStringLiteral("1"));
    EXPECT_EQ(host.started, std::vector<QString>{QStringLiteral("1")});
    // Nothing to compare with one path: the window waits for the other side.
    queue.openFiles({"/x"}, true);
    queue.OpenQueuedFiles();
    EXPECT_EQ(host.started.size(), 1u);
    EXPECT_EQ(host.documents.back().left, "/x");
    EXPECT_EQ(host.documents.back().right, "");
}

TEST_F(OpenQueueTest, SnapshotFilesAloneOpenPreviewsWhileThePreviewSettingIsOn) {
    queue.openFiles({"/s/one.qvss", "/s/TWO.QVSS"}, true);
    EXPECT_EQ(queue.OpenQueuedFiles(), QString());
    EXPECT_EQ(host.previews, (std::vector<std::string>{"/s/one.qvss", "/s/TWO.QVSS"}));
    EXPECT_TRUE(host.documents.empty());
    EXPECT_TRUE(host.started.empty());

    // A snapshot beside a folder is one side of a comparison.
    queue.openFiles({"/s/one.qvss", "/folder"}, false);
    queue.OpenQueuedFiles();
    ASSERT_EQ(host.documents.size(), 1u);
    EXPECT_EQ(host.documents[0].left, "/s/one.qvss");
    // A name that is the extension alone is a hidden file, not a snapshot.
    queue.openFiles({"/s/.qvss"}, false);
    queue.OpenQueuedFiles();
    EXPECT_EQ(host.documents.size(), 2u);

    settings.store(QStringLiteral("qvssPreview"), false);
    queue.openFiles({"/s/one.qvss", "/s/two.qvss"}, false);
    queue.OpenQueuedFiles();
    EXPECT_EQ(host.previews.size(), 2u);
    ASSERT_EQ(host.documents.size(), 3u);
    EXPECT_EQ(host.documents[2].right, "/s/two.qvss");
}

}  // namespace
}  // namespace qv::test
