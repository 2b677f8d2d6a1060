// The status a window shows around its tree, as the controller computes it
// from real runs: the header and its role, the numbers of the message lines
// and which of them differ, and the buttons a run allows.

#include "app/ComparisonStatus.h"
#include "app/HeadlessPrompt.h"
#include "app/QuorvaneModule.h"
#include "base/Messages.h"
#include "support/TempTree.h"
#include "support/TestSettings.h"
#include "support/WaitFor.h"

#include <gtest/gtest.h>

namespace qv::test {
namespace {

using Role = ComparisonStatus::Role;

class ComparisonStatusTest : public ::testing::Test {
protected:
    TestSettings settings;
    HeadlessPrompt prompt;
    TempTree left, right;

    void compare(QuorvaneModule& module) {
        module.state().leftPath = left.root();
        module.state().rightPath = right.root();
        ASSERT_TRUE(module.Compare());
        const ComparisonStatus::Buttons during = module.status().buttons();
        EXPECT_TRUE(during.stop);
        EXPECT_FALSE(during.controls);
        EXPECT_FALSE(during.sync);
        EXPECT_EQ(module.status().headerRole(), Role::Working);
        ASSERT_TRUE(waitFor(&module, &QuorvaneModule::sizesCalculated));
    }

    // The segments of a line that are numbers, with whether each differs.
    static std::vector<std::pair<QString, bool>> numbers(const ComparisonStatus::Line& line) {
        std::vector<std::pair<QString, bool>> out;
        for (const auto& s : line.segments)
            if (s.number) out.emplace_back(s.text, s.differs);
        return out;
    }
};

TEST_F(ComparisonStatusTest, OnlyTheNumbersThatDifferBetweenTheSidesAreMarked) {
    settings.store(QStringLiteral("sizeInBytes"), true);
    for (int i = 0; i < 10; ++i) {
        left.file("f" + std::to_string(i), 100);
        right.file("f" + std::to_string(i), 100);
    }
    right.file("empty", 0);   // one more file on the right, and no more bytes
    QuorvaneModule module(prompt, settings);
    compare(module);
    const ComparisonStatus& status = module.status();
    EXPECT_EQ(status.headerRole(), Role::Different);
    EXPECT_TRUE(status.header().startsWith(Messages::text("FoldersDiff0"))) << status.header().toStdString();
    const auto l = numbers(status.leftLine()), r = numbers(status.rightLine());
    ASSERT_EQ(l.size(), 3u);
    ASSERT_EQ(r.size(), 3u);
    EXPECT_EQ(l[0], std::make_pair(QStringLiteral("1,000"), false));
    EXPECT_EQ(l[1], std::make_pair(QStringLiteral("10"), true));
    EXPECT_EQ(r[1], std::make_pair(QStringLiteral("11"), true));
    EXPECT_EQ(l[2], std::make_pair(QStringLiteral("0"), false));
    EXPECT_EQ(status.leftMessage(), Messages::format("byteCount", QStringLiteral("1,000")) + QStringLiteral(", 10") +
                                        Messages::text("filesAndFolders1") + QStringLiteral("0") +
                                        Messages::text("filesAndFolders2"));
    EXPECT_EQ(status.rightLine().tooltip, Messages::format("difsAndOrph", QStringLiteral("0"), QStringLiteral("1")));

    const ComparisonStatus::Buttons after = status.buttons();
    EXPECT_FALSE(after.stop);
    EXPECT_TRUE(after.controls && after.sync && after.nextDiff && after.prevDiff && after.exportTree);
    EXPECT_FALSE(after.execute);
}

TEST_F(ComparisonStatusTest, EqualFoldersReadAsEqualWithoutTooltips) {
    settings.store(QStringLiteral("sizeInBytes"), false);
    left.file("a", 1500);
    right.file("a", 1500);
    QuorvaneModule module(prompt, settings);
    int headerChanges = 0;
    QObject::connect(&module.status(), &ComparisonStatus::headerChanged, [&] { ++headerChanges; });
    compare(module);
    const ComparisonStatus& status = module.status();
    EXPECT_GT(headerChanges, 1);
    EXPECT_EQ(status.header(), Messages::text("FoldersEqual"));
    EXPECT_EQ(status.headerRole(), Role::Equal);
    EXPECT_TRUE(status.leftLine().tooltip.isEmpty());
    EXPECT_FALSE(status.buttons().nextDiff);
    EXPECT_FALSE(status.progressVisible());
    // "1.5 kB": the digits are a number, the unit is not.
    const auto& first = status.leftLine().segments.front();
    EXPECT_TRUE(first.number);
    EXPECT_EQ(first.text, QStringLiteral("1.5"));
    EXPECT_FALSE(status.leftLine().segments[1].number);
}

TEST_F(ComparisonStatusTest, AWrongPathIsAnError) {
    QuorvaneModule module(prompt, settings);
    module.state().leftPath = left.root();
    module.state().rightPath = right.path("missing");
    EXPECT_FALSE(module.Compare());
    EXPECT_EQ(module.status().headerRole(), Role::Error);
    EXPECT_EQ(module.status().rightMessage(), Messages::text("Inaccessible"));
    EXPECT_TRUE(module.status().leftMessage().isEmpty());
    EXPECT_FALSE(module.status().buttons().sync);
}

}  // namespace
}  // namespace qv::test
