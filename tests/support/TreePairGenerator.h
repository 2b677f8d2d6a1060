#pragma once
// Random pairs of trees, "L" and "R" of a TempTree, that overlap and differ in
// every way a comparison or a sync tells apart: bytes, sizes, dates,
// attributes, one-sided entries and trees, links, and entries facing one of
// another kind. The same seed makes the same pair.

#include "support/TempTree.h"

#include <cstdint>
#include <cstdlib>
#include <map>
#include <random>
#include <set>
#include <string>

namespace qv::test {

struct GeneratorOptions {
    // Pairs that only reading the files tells apart: same size, same date,
    // different bytes (or targets of equal length). A comparison by size and
    // date rightly takes them for equal, so such runs leave them out.
    bool sameSizeAndDate = true;
    // An entry facing one of another kind (file against folder, link against
    // file or folder). An update cannot order those, so its runs leave them out.
    bool kindConflicts = true;
    // Links that only their kind or their stored target tells apart from
    // what they face: a link against a file with the size of the target
    // text, the same date and the bytes the link leads to; two links whose
    // targets have the same length and the same bytes. Checked on their
    // own (LinksAreComparedAsLinks), so that the random runs keep guarding
    // everything else.
    bool linkTraps = false;
};

class TreePairGenerator {
public:
    TreePairGenerator(unsigned seed, TempTree& tree, GeneratorOptions options)
        : m_rng(seed), m_tree(tree), m_options(options) {}

    // Fills "L" and "R" of the tree.
    void build() {
        m_tree.folder("L");
        m_tree.folder("R");
        folderPair("", 0);
    }

private:
    static constexpr std::int64_t kSecond = 1'000'000'000LL;

    enum class Pair {
        SameFile,         // identical on both sides
        EditedFile,       // different bytes, sizes and dates at random
        DisguisedFile,    // different bytes, same size and date
        TouchedFile,      // same bytes, dates apart
        AttributedFile,   // same bytes, "user.*" attributes differ, dates equal or apart
        LeftFile,
        RightFile,
        LeftTree,         // a folder with contents on one side only
        RightTree,
        Folders,          // a folder on both sides, recursed into
        EmptyFolders,
        LeftEmptyFolder,
        RightEmptyFolder,
        SameLink,         // both sides link to a sibling file
        RetargetedLink,   // both sides link, to different siblings
        DanglingLinks,    // both sides link nowhere
        LeftLink,
        RightLink,
        FileVsFolder,
        FolderVsFile,
        LinkVsFile,
        FileVsLink,
        LinkVsFolder,
        kCount,
    };

    static bool isKindConflict(Pair p) {
        return p == Pair::FileVsFolder || p == Pair::FolderVsFile || p == Pair::LinkVsFile || p == Pair::FileVsLink ||
               p == Pair::LinkVsFolder;
    }

    int pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(m_rng); }
    bool chance(int percent) { return pick(1, 100) <= percent; }

    static std::string join(const std::string& folder, const std::string& name) {
        return folder.empty() ? name : folder + "/" + name;
    }

    std::int64_t someTime() {
        return kBaseTimeNs + static_cast<std::int64_t>(pick(0, 100000)) * kSecond +
               (chance(50) ? 0 : static_cast<std::int64_t>(pick(0, 999'999'999)));
    }

    // Offsets around the planner's one-second line and well past it.
    std::int64_t someDelta() {
        static const std::int64_t kDeltas[] = {0,          300'000'000, kSecond - 1, kSecond,
                                               kSecond + 1, 2 * kSecond, 90 * kSecond, 86400 * kSecond};
        const std::int64_t d = kDeltas[pick(0, static_cast<int>(std::size(kDeltas)) - 1)];
        return chance(50) ? d : -d;
    }

    std::string someBytes(std::size_t size) {
        std::string out(size, '\0');
        switch (pick(0, 2)) {
        case 0:   // text-like
            for (auto& c : out) c = static_cast<char>(pick(0, 4) == 0 ? '\n' : 'a' + pick(0, 25));
            break;
        case 1:   // binary
            for (auto& c : out) c = static_cast<char>(pick(0, 255));
            break;
        default:   // one repeated byte
            std::fill(out.begin(), out.end(), static_cast<char>(pick(0, 255)));
        }
        return out;
    }

    std::size_t someSize() {
        switch (pick(0, 5)) {
        case 0: return 0;
        case 1: return static_cast<std::size_t>(pick(1, 16));
        case 2: return static_cast<std::size_t>(pick(17, 1024));
        default: return static_cast<std::size_t>(pick(1025, 8192));
        }
    }

    // The same bytes with one of them changed (the size kept); an empty
    // file cannot be changed that way and gets one byte instead.
    std::string changed(const std::string& bytes) {
        if (bytes.empty()) return "x";
        std::string out = bytes;
        const auto at = static_cast<std::size_t>(pick(0, static_cast<int>(out.size()) - 1));
        out[at] = static_cast<char>(out[at] ^ (1 + pick(0, 254)));
        return out;
    }

    std::string freshName(std::set<std::string>& used) {
        // Names scripts and shells trip over, names that are not UTF-8, and plain ones.
        static const char* const kNames[] = {
            "plain", "two words", "new\nline", "quote\"d", "it's", "-dash", "--long", "\xff\xfe raw",
            "caf\xc3\xa9", "tab\there", ".hidden", "back\\slash", "semi;colon", "star*", "a.txt", "b.bin",
            "\x80", "trailing ", " leading", "$HOME",
        };
        std::string name = kNames[pick(0, static_cast<int>(std::size(kNames)) - 1)];
        if (chance(30)) name = "n" + std::to_string(pick(0, 99));
        std::string candidate = name;
        for (int i = 2; used.count(candidate); ++i) candidate = name + "~" + std::to_string(i);
        // Links are made with siblings named after them.
        for (const char* suffix : {"", ".t", ".u", ".uu"}) used.insert(candidate + suffix);
        return candidate;
    }

    void writeFile(const char* side, const std::string& rel, const std::string& bytes, std::int64_t mtime,
                   const std::map<std::string, std::string>& attributes = {}) {
        const std::string path = std::string(side) + "/" + rel;
        m_tree.fileWithText(path, bytes, mtime);
        for (const auto& [k, v] : attributes) m_tree.setAttribute(path, k, v);
        // Attributes leave the data time alone, but say so outright.
        m_tree.setTime(path, mtime);
    }

    void writeLink(const char* side, const std::string& rel, const std::string& target, std::int64_t mtime) {
        const std::string path = std::string(side) + "/" + rel;
        m_tree.link(path, target);
        m_tree.setTime(path, mtime);
    }

    std::map<std::string, std::string> someAttributes() {
        std::map<std::string, std::string> out;
        const int n = pick(0, 3) == 0 ? pick(1, 3) : 0;
        for (int i = 0; i < n; ++i) {
            static const char* const kKeys[] = {"user.note", "user.origin", "user.xdg.tags", "user.checksum"};
            const auto size = static_cast<std::size_t>(pick(0, 40));
            const std::string value = chance(20) ? std::string("bin\0ary", 7) : someBytes(size);
            out[kKeys[pick(0, 3)]] = value;
        }
        return out;
    }

    Pair somePair(int depth) {
        for (;;) {
            const auto p = static_cast<Pair>(pick(0, static_cast<int>(Pair::kCount) - 1));
            if (!m_options.kindConflicts && isKindConflict(p)) continue;
            if (!m_options.sameSizeAndDate && p == Pair::DisguisedFile) continue;
            if (depth >= 3 && (p == Pair::Folders || p == Pair::LeftTree || p == Pair::RightTree)) continue;
            return p;
        }
    }

    // A folder with contents on one side only.
    void oneSidedTree(const char* side, const std::string& rel, int depth) {
        m_tree.folder(std::string(side) + "/" + rel);
        for (const auto& [k, v] : someAttributes()) m_tree.setAttribute(std::string(side) + "/" + rel, k, v);
        std::set<std::string> used;
        const int n = pick(0, 4);
        for (int i = 0; i < n; ++i) {
            const std::string child = join(rel, freshName(used));
            const int what = depth < 3 ? pick(0, 4) : pick(0, 2);
            if (what <= 1) writeFile(side, child, someBytes(someSize()), someTime(), someAttributes());
            else if (what == 2) writeLink(side, child, chance(50) ? "../elsewhere" : "nowhere/at all", someTime());
            else if (what == 3) m_tree.folder(std::string(side) + "/" + child);
            else oneSidedTree(side, child, depth + 1);
        }
    }

    void folderPair(const std::string& rel, int depth) {
        m_tree.folder("L/" + rel);
        m_tree.folder("R/" + rel);
        std::set<std::string> used;
        const int n = depth == 0 ? pick(4, 10) : pick(0, 6);
        for (int i = 0; i < n; ++i) entryPair(rel, freshName(used), depth);
    }

    void entryPair(const std::string& folder, const std::string& name, int depth) {
        const std::string rel = join(folder, name);
        const std::int64_t t = someTime();
        switch (somePair(depth)) {
        case Pair::SameFile: {
            const std::string bytes = someBytes(someSize());
            const auto attributes = someAttributes();
            writeFile("L", rel, bytes, t, attributes);
            writeFile("R", rel, bytes, t, attributes);
            break;
        }
        case Pair::EditedFile: {
            std::int64_t delta = someDelta();
            const std::string a = someBytes(someSize());
            std::string b = someBytes(someSize());
            if (a == b) b += "+";
            if (!m_options.sameSizeAndDate && a.size() == b.size() && std::llabs(delta) < kSecond) delta = 2 * kSecond;
            writeFile("L", rel, a, t, someAttributes());
            writeFile("R", rel, b, t + delta, someAttributes());
            break;
        }
        case Pair::DisguisedFile: {
            const std::string a = someBytes(someSize());
            const auto attributes = someAttributes();
            writeFile("L", rel, a, t, attributes);
            writeFile("R", rel, changed(a), t, attributes);
            break;
        }
        case Pair::TouchedFile: {
            const std::string bytes = someBytes(someSize());
            const auto attributes = someAttributes();
            writeFile("L", rel, bytes, t, attributes);
            writeFile("R", rel, bytes, t + someDelta(), attributes);
            break;
        }
        case Pair::AttributedFile: {
            const std::string bytes = someBytes(someSize());
            auto a = someAttributes(), b = someAttributes();
            if (a == b) b["user.extra"] = "only here";
            writeFile("L", rel, bytes, t, a);
            writeFile("R", rel, bytes, chance(50) ? t : t + someDelta(), b);
            break;
        }
        case Pair::LeftFile: writeFile("L", rel, someBytes(someSize()), t, someAttributes()); break;
        case Pair::RightFile: writeFile("R", rel, someBytes(someSize()), t, someAttributes()); break;
        case Pair::LeftTree: oneSidedTree("L", rel, depth + 1); break;
        case Pair::RightTree: oneSidedTree("R", rel, depth + 1); break;
        case Pair::Folders: folderPair(rel, depth + 1); break;
        case Pair::EmptyFolders:
            m_tree.folder("L/" + rel);
            m_tree.folder("R/" + rel);
            break;
        case Pair::LeftEmptyFolder: m_tree.folder("L/" + rel); break;
        case Pair::RightEmptyFolder: m_tree.folder("R/" + rel); break;
        case Pair::SameLink: {
            const std::string bytes = someBytes(someSize());
            writeFile("L", rel + ".t", bytes, t);
            writeFile("R", rel + ".t", bytes, t);
            writeLink("L", rel, name + ".t", t);
            writeLink("R", rel, name + ".t", t);
            break;
        }
        case Pair::RetargetedLink: {
            // Two siblings; as a trap they hold the same bytes and the
            // targets have the same length, so only the stored targets tell
            // the links apart.
            const std::string bytes = someBytes(someSize());
            const bool trap = m_options.linkTraps;
            const std::string other = trap ? bytes : changed(bytes);
            for (const char* side : {"L", "R"}) {
                writeFile(side, rel + ".t", bytes, t);
                writeFile(side, rel + (trap ? ".u" : ".uu"), other, t);
            }
            std::int64_t delta = chance(50) ? 0 : someDelta();
            if (!m_options.sameSizeAndDate && trap) delta = 3 * kSecond;
            writeLink("L", rel, name + ".t", t);
            writeLink("R", rel, name + (trap ? ".u" : ".uu"), t + delta);
            break;
        }
        case Pair::DanglingLinks: {
            const bool same = chance(40);
            const std::int64_t delta = same || m_options.sameSizeAndDate ? 0 : 5 * kSecond;
            writeLink("L", rel, "missing/one", t);
            writeLink("R", rel, same ? "missing/one" : "missing/two", t + delta);
            break;
        }
        case Pair::LeftLink: writeLink("L", rel, chance(50) ? "nowhere" : "../" + name + ".gone", t); break;
        case Pair::RightLink: writeLink("R", rel, chance(50) ? "nowhere" : "../" + name + ".gone", t); break;
        case Pair::FileVsFolder:
            writeFile("L", rel, someBytes(someSize()), t, someAttributes());
            if (chance(50)) oneSidedTree("R", rel, depth + 1);
            else m_tree.folder("R/" + rel);
            break;
        case Pair::FolderVsFile:
            if (chance(50)) oneSidedTree("L", rel, depth + 1);
            else m_tree.folder("L/" + rel);
            writeFile("R", rel, someBytes(someSize()), t, someAttributes());
            break;
        case Pair::LinkVsFile:
        case Pair::FileVsLink: {
            // As a trap the file has the size of the link's target text,
            // the date of the link and the bytes of the file the link points
            // to: only the kinds of the two entries differ.
            const bool linkLeft = chance(50);
            const std::string target = name + ".t";
            const std::string bytes = someBytes(m_options.linkTraps ? target.size() : target.size() + 1);
            const char* linkSide = linkLeft ? "L" : "R";
            const char* fileSide = linkLeft ? "R" : "L";
            writeFile(linkSide, rel + ".t", bytes, t);
            writeFile(fileSide, rel + ".t", bytes, t);
            writeLink(linkSide, rel, target, t);
            writeFile(fileSide, rel, bytes, t);
            break;
        }
        case Pair::LinkVsFolder: {
            const bool linkLeft = chance(50);
            writeLink(linkLeft ? "L" : "R", rel, "nowhere", t);
            oneSidedTree(linkLeft ? "R" : "L", rel, depth + 1);
            break;
        }
        case Pair::kCount: break;
        }
    }

    std::mt19937 m_rng;
    TempTree& m_tree;
    GeneratorOptions m_options;
};

}  // namespace qv::test
