#include "platform/ExtendedAttributes.h"
#include "platform/FileSystem.h"
#include "support/TempTree.h"

#include <gtest/gtest.h>

#include <map>

namespace qv::test {
namespace {

std::map<std::string, std::optional<std::vector<std::string>>> tagsByName(const platform::Listing& listing) {
    std::map<std::string, std::optional<std::vector<std::string>>> out;
    for (const platform::ListedEntry& e : listing.entries)
        out[std::string(listing.name(e))] = platform::parseTags(listing.tags(e));
    return out;
}

TEST(ListingTagsTest, AListingReadsTheSameTagsAsReadingEachPath) {
    TempTree tree;
    tree.file("tagged.txt", 3);
    tree.setTags("tagged.txt", "Red, Work ,,Blue");
    tree.folder("folder");
    tree.setTags("folder", "Green");
    tree.file("plain.txt", 1);
    // Longer than a first small read can hold.
    std::string many;
    for (int i = 0; i < 300; ++i) many += (i ? "," : "") + std::string("tag") + std::to_string(i);
    tree.file("many", 1);
    tree.setTags("many", many);
    // A link's own tags are read, never its destination's (links carry none).
    tree.link("link", "tagged.txt");

    platform::Listing listing;
    platform::systemFileSystem().listFolder(tree.root(), listing, platform::kStatTags);
    ASSERT_TRUE(listing.hasTags);
    const auto listed = tagsByName(listing);
    ASSERT_EQ(listed.size(), 5u);
    for (const auto& [name, tags] : listed) EXPECT_EQ(tags, platform::readTags(tree.path(name), false)) << name;
    EXPECT_EQ(listed.at("tagged.txt"), (std::vector<std::string>{"Red", "Work", "Blue"}));
    EXPECT_EQ(listed.at("many")->size(), 300u);
    EXPECT_EQ(listed.at("plain.txt"), std::nullopt);
    EXPECT_EQ(listed.at("link"), std::nullopt);

    // Without the field nothing is read, and the listing says so.
    platform::systemFileSystem().listFolder(tree.root(), listing, platform::kStatBasic);
    EXPECT_FALSE(listing.hasTags);
    EXPECT_TRUE(listing.tagValues.empty());
}

}  // namespace
}  // namespace qv::test
