// A snapshot recorded from a window: the file it saves reads back as the
// folder it recorded, an existing file is replaced only when asked, and a
// cancelled recording leaves nothing to save.

#include "snapshot/SnapshotRecording.h"

#include "snapshot/KSnapshot.h"
#include "support/TempTree.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace qv::test {
namespace {

TEST(SnapshotRecordingTest, TheSavedFileReadsBackAsTheRecordedFolder) {
    TempTree t;
    t.file("rec/a.txt", 10);
    t.file("rec/sub/b.txt", 20);
    SnapshotRecording recording;
    std::atomic<bool> cancel{false};
    ASSERT_TRUE(recording.record(t.path("rec"), true, &cancel));
    EXPECT_EQ(recording.files(), 2u);
    EXPECT_EQ(recording.folders(), 1u);
    ASSERT_FALSE(recording.bytes().empty());
    ASSERT_EQ(recording.save(t.path("rec.qvss"), false), 0);
    KSnapshot read;
    ASSERT_TRUE(read.ReadSnapshot(t.path("rec.qvss")));
    EXPECT_EQ(read.recordedPath(), t.path("rec"));
    EXPECT_TRUE(read.hasMD5());
    EXPECT_EQ(read.iSnapshot()->iDataSize, 30u);
    // An existing file stays unless replacing is asked for.
    t.fileWithText("taken.qvss", "mine");
    EXPECT_EQ(recording.save(t.path("taken.qvss"), false), EEXIST);
    EXPECT_EQ(t.contents("taken.qvss"), "mine");
    EXPECT_EQ(recording.save(t.path("taken.qvss"), true), 0);
    EXPECT_TRUE(KSnapshot().ReadSnapshot(t.path("taken.qvss")));
}

TEST(SnapshotRecordingTest, ACancelledOrUnreadableRecordingLeavesNothingToSave) {
    TempTree t;
    t.file("rec/a.txt", 10);
    SnapshotRecording recording;
    std::atomic<bool> cancel{true};
    EXPECT_FALSE(recording.record(t.path("rec"), false, &cancel));
    EXPECT_TRUE(recording.bytes().empty());
    cancel = false;
    EXPECT_FALSE(recording.record(t.path("missing"), false, &cancel));
    EXPECT_TRUE(recording.bytes().empty());
    EXPECT_EQ(SnapshotRecording::proposedName("/home/me/Photos/"), "Photos.qvss");
    EXPECT_EQ(SnapshotRecording::proposedName("/"), "snapshot.qvss");
}

}  // namespace
}  // namespace qv::test
