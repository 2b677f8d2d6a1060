#include "app/HeadlessPrompt.h"
#include "engine/KRootItem.h"
#include "sync/MergeList.h"
#include "sync/RenamePattern.h"

#include <gtest/gtest.h>

namespace qv::test {
namespace {

class RenamePatternTest : public ::testing::Test {
protected:
    KRootItem root;
    HeadlessPrompt prompt;
    MergeList list{prompt};

    void SetUp() override {
        root.setILeftPath("/nowhere/L");
        root.setIRightPath("/nowhere/R");
        root.iDir1 = root.iDir2 = true;
    }
    // An item on both sides; `leftName` when the left entry's name differs
    // (the node keeps a pointer to it, as to the scan's own name store).
    KItem* add(const char* name, const char* leftName = nullptr) {
        KItem* n = KItem::Item(name, 10, false, kSideRight, &root, "", &root);
        n->setSideValues(kSideLeft, 10, platform::kNoTime, false);
        if (leftName) n->setIName2(leftName);
        n->iState = kStateSizesDiffer;
        root.appendChild(n);
        return n;
    }
    // A press of a name-giving button with the options the name dialog returns.
    void press(const std::vector<KItem*>& selection, int kind, int side, const RenameOptions& options) {
        list.SetItemsForRow(selection.front(), selection, kind, side, -1, [&](KItem* item, int action, int previous) {
            SetCopyAsForRow(item, options, action, previous);
        });
    }
};

QString u(const char* text) { return QString::fromUtf8(text); }

TEST_F(RenamePatternTest, NamesFromEveryModeAndTheirEmptyResults) {
    struct Case {
        const char* name;
        int mode;
        const char* text;   // nullptr: no text
        const char* expected;
    };
    const Case cases[] = {
        {"report.txt", RenameAddAfter, "-old", "report-old.txt"},
        {"report.txt", RenameAddBefore, "old-", "old-report.txt"},
        {"plan-2023.txt", RenameReplace, "2023:2024", "plan-2024.txt"},
        {"notes.txt", RenameReplace, "2023:2024", ""},   // nothing to replace
        {"c.txt", RenameNewName, "c.txt", ""},           // unchanged
        {"c.txt", RenameNewName, "C.txt", "C.txt"},      // letter case is a change
        {"archive.tar.gz", RenameAddAfter, "-v2", "archive.tar-v2.gz"},
        {".bashrc", RenameAddAfter, "-old", ".bashrc-old"},   // a leading dot starts no extension
        {".config.json", RenameAddAfter, "-2", ".config-2.json"},
        {"README", RenameAddAfter, "-old", "README-old"},
        {"name.", RenameAddAfter, "-x", "name.-x"},
        {"aaa.a", RenameReplace, "a:bb", "bbbbbb.bb"},   // every occurrence, the extension too
        {"caf\xC3\xA9.txt", RenameAddAfter, "-\xE2\x9C\x93", "caf\xC3\xA9-\xE2\x9C\x93.txt"},
        {"\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E.txt", RenameReplace, "\xE6\x97\xA5\xE6\x9C\xAC:\xE4\xB8\xAD",
         "\xE4\xB8\xAD\xE8\xAA\x9E.txt"},
        {"x.txt", RenameNewName, "a:b.txt", "ab.txt"},     // the separator never reaches a name
        {"a:b.txt", RenameAddAfter, "-x", "ab-x.txt"},     // not even from the old name
        {"x.txt", RenameAddAfter, "", ""},
        {"x.txt", RenameAddBefore, nullptr, ""},
        {"x.txt", RenameNewName, nullptr, ""},
        {"x.txt", RenameReplace, "a:b:c", ""},
        {"x.txt", RenameReplace, ":y", ""},   // an empty find text finds nothing
        {"ab.txt", RenameReplace, "ab:", ".txt"},
        {"x.txt", RenameReplace, "x:", ".tt"},
        {"x.txt", 7, "y", ""},
    };
    for (const Case& c : cases) {
        KItem* item = add(c.name);
        item->iCopyTo = kCopyAsToRight;
        RenameOptions options{c.mode, c.text ? u(c.text) : QString()};
        EXPECT_EQ(CopyAsNameForItem(*item, options), u(c.expected)) << c.name << " " << (c.text ? c.text : "(none)");
    }
}

TEST_F(RenamePatternTest, TheNameOfTheEntryTheActionWorksOnIsTheBase) {
    KItem* item = add("photo.jpg", "Photo.JPG");
    const RenameOptions after{RenameAddAfter, QStringLiteral("-1")};
    const std::pair<int, const char*> bySide[] = {{kCopyAsToRight, "Photo-1.JPG"}, {kRenameLeft, "Photo-1.JPG"},
                                                  {kCopyAsToLeft, "photo-1.jpg"}, {kRenameRight, "photo-1.jpg"}};
    for (const auto& [action, expected] : bySide) {
        item->iCopyTo = action;
        EXPECT_EQ(CopyAsNameForItem(*item, after), u(expected)) << action;
    }
    item->iCopyTo = kRenameBoth;
    EXPECT_EQ(CopyAsNameForItem(*item, after, kSideLeft), u("Photo-1.JPG"));
    EXPECT_EQ(CopyAsNameForItem(*item, after, kSideRight), u("photo-1.jpg"));
    // The right entry's own name, unchanged, is no new name for it.
    item->iCopyTo = kRenameRight;
    EXPECT_EQ(CopyAsNameForItem(*item, {RenameNewName, QStringLiteral("photo.jpg")}), QString());
}

TEST_F(RenamePatternTest, RenameBothKeepsTheLeftNameFirstWhicheverSideCameFirst) {
    for (const bool leftFirst : {true, false}) {
        KItem* item = add("doc.txt");
        const int first = leftFirst ? kSideLeft : kSideRight, second = leftFirst ? kSideRight : kSideLeft;
        auto nameFor = [](int side) { return RenameOptions{RenameNewName, side == kSideLeft ? u("l.txt") : u("r.txt")}; };
        press({item}, BtnRename, first, nameFor(first));
        EXPECT_EQ(item->iCopyTo, first == kSideLeft ? kRenameLeft : kRenameRight);
        press({item}, BtnRename, second, nameFor(second));
        EXPECT_EQ(item->iCopyTo, kRenameBoth);
        EXPECT_EQ(item->iCopyAs(), u("l.txt:r.txt")) << leftFirst;
        // Pressing one side again drops that side; the other keeps its own name.
        press({item}, BtnRename, kSideLeft, nameFor(kSideLeft));
        EXPECT_EQ(item->iCopyTo, kRenameRight);
        EXPECT_EQ(item->iCopyAs(), u("r.txt"));
    }
}

TEST_F(RenamePatternTest, AnUnchangedOrEmptyNameFallsBackForEveryActionKind) {
    const RenameOptions same{RenameNewName, QStringLiteral("same.txt")};
    const std::tuple<int, int, int> presses[] = {{BtnCopyAs, kSideLeft, kCopyToRight},
                                                 {BtnCopyAs, kSideRight, kCopyToLeft},
                                                 {BtnRename, kSideLeft, kNone},
                                                 {BtnRename, kSideRight, kNone}};
    for (const auto& [kind, side, fallback] : presses) {
        KItem* item = add("same.txt");
        press({item}, kind, side, same);
        EXPECT_EQ(item->iCopyTo, fallback) << kind << "/" << side;
        EXPECT_TRUE(item->iCopyAs().isEmpty());
    }
    // A rename of both sides whose second name changes nothing stays the first side's rename.
    KItem* item = add("same.txt");
    press({item}, BtnRename, kSideRight, {RenameNewName, QStringLiteral("new.txt")});
    press({item}, BtnRename, kSideLeft, same);
    EXPECT_EQ(item->iCopyTo, kRenameRight);
    EXPECT_EQ(item->iCopyAs(), u("new.txt"));
    // A pattern that finds nothing marks nothing.
    KItem* other = add("other.txt");
    press({other}, BtnRename, kSideLeft, RenameOptions::replacing(u("2023"), u("2024")));
    EXPECT_EQ(other->iCopyTo, kNone);
}

TEST_F(RenamePatternTest, OnePatternNamesEverySelectedRowOnItsOwn) {
    KItem* a = add("a-2023.txt");
    KItem* b = add("b.txt");
    KItem* c = add("c-2023.log");
    press({a, b, c}, BtnCopyAs, kSideLeft, RenameOptions::replacing(u("2023"), u("2024")));
    EXPECT_EQ(a->iCopyTo, kCopyAsToRight);
    EXPECT_EQ(a->iCopyAs(), u("a-2024.txt"));
    EXPECT_EQ(b->iCopyTo, kCopyToRight);   // no 2023 in its name: a plain copy
    EXPECT_EQ(c->iCopyAs(), u("c-2024.log"));

    press({a, b, c}, BtnCopyAs, kSideLeft, RenameOptions::replacing(u("2023"), u("2024")));
    EXPECT_EQ(a->iCopyTo, kNone);   // the press takes the copy-as back

    // A rename of both sides names every selected row.
    press({a, c}, BtnRename, kSideLeft, {RenameAddBefore, u("L-")});
    press({a, c}, BtnRename, kSideRight, {RenameAddBefore, u("R-")});
    EXPECT_EQ(a->iCopyAs(), u("L-a-2023.txt:R-a-2023.txt"));
    EXPECT_EQ(c->iCopyAs(), u("L-c-2023.log:R-c-2023.log"));
}

TEST(RenameOptionsTest, DictionaryRoundTripAndNameChecks) {
    const RenameOptions o = RenameOptions::replacing(u("a:b"), u("c"));
    EXPECT_EQ(o.text, u("ab:c"));   // typed separators are dropped
    const std::optional<RenameOptions> back = RenameOptions::fromDict(o.RenameDict());
    ASSERT_TRUE(back);
    EXPECT_EQ(back->rename, RenameReplace);
    EXPECT_EQ(back->text, o.text);
    EXPECT_FALSE(RenameOptions::fromDict({{QStringLiteral("rename"), 1.5}}));
    EXPECT_FALSE(RenameOptions::fromDict({{QStringLiteral("rename"), QStringLiteral("after")}}));
    EXPECT_FALSE(RenameOptions::fromDict({{QStringLiteral("rename"), 1}})->hasText());

    EXPECT_EQ(NameParts::of(u("a.tar.gz")).stem, u("a.tar"));
    EXPECT_EQ(NameParts::of(u(".profile")).extension, QString());

    EXPECT_STREQ(nameProblem(QString()), "nameEmpty");
    EXPECT_STREQ(nameProblem(u("..")), "nameDots");
    EXPECT_STREQ(nameProblem(u("a/b")), "nameBadCharacter");
    EXPECT_STREQ(nameProblem(u("a") + QChar(0) + u("b")), "nameBadCharacter");
    EXPECT_EQ(nameProblem(QString(255, QLatin1Char('x'))), nullptr);
    EXPECT_STREQ(nameProblem(QString(256, QLatin1Char('x'))), "nameTooLong");
    // The limit is in bytes: 128 two-byte letters are 256 bytes.
    EXPECT_STREQ(nameProblem(QString(128, QChar(0xE9))), "nameTooLong");
    EXPECT_EQ(nameProblem(u("...")), nullptr);
}

}  // namespace
}  // namespace qv::test
