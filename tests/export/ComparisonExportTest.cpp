#include "base/Messages.h"
#include "base/Settings.h"
#include "engine/KRootItem.h"
#include "export/ComparisonExport.h"
#include "export/ExportDateFormatter.h"
#include "export/ExportMarks.h"
#include "export/KSizeFormatter.h"
#include "support/FileChecks.h"
#include "support/TempTree.h"
#include "support/TestSettings.h"

#include <QDateTime>
#include <QLocale>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

namespace qv {
namespace {

constexpr std::int64_t kSecond = 1'000'000'000;
// 2021-03-04 05:06:07 UTC and 2020-12-25 18:30:00 UTC.
constexpr std::int64_t kMarch = 1'614'834'367 * kSecond;
constexpr std::int64_t kChristmas = 1'608'921'000 * kSecond;

const std::vector<int> kMainColumns = {0, 1, 2, 3, 4, 5, 6};

std::string goldenPath(const char* name) {
    return (std::filesystem::path(QV_TEST_DATA) / "export" / name).string();
}

std::vector<std::string> lines(const QByteArray& text) {
    std::vector<std::string> out;
    std::stringstream in(text.toStdString());
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

// A reader as strict as a spreadsheet's: RFC 4180 rows.
std::vector<std::vector<std::string>> parseRows(const std::string& text, char delimiter) {
    std::vector<std::vector<std::string>> rows(1);
    std::string field;
    bool quoted = false, wasQuoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') field += '"', ++i;
            else if (c == '"') quoted = false;
            else field += c;
        } else if (c == '"' && field.empty() && !wasQuoted) {
            quoted = wasQuoted = true;
        } else if (c == delimiter) {
            rows.back().push_back(field);
            field.clear();
            wasQuoted = false;
        } else if (c == '\n') {
            rows.back().push_back(field);
            field.clear();
            wasQuoted = false;
            rows.emplace_back();
        } else {
            field += c;
        }
    }
    if (rows.back().empty()) rows.pop_back();
    return rows;
}

std::vector<std::string> split(const std::string& line, char delimiter) {
    std::vector<std::string> fields;
    std::string field;
    for (char c : line) {
        if (c == delimiter) fields.push_back(field), field.clear();
        else field += c;
    }
    fields.push_back(field);
    return fields;
}

class ComparisonExportTest : public ::testing::Test {
protected:
    void SetUp() override {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        qputenv("TZ", "UTC");
        tzset();
        root.setILeftPath("/data/left");
        root.setIRightPath("/data/right");
        root.setSideValues(kSideLeft, 2'469'134, kChristmas, true);
        root.setSideValues(kSideRight, 1'235'801, kMarch, true);
        root.iSizeReady = true;
    }

    KItem* add(KItem* parent, const char* name, int sides, bool dir, std::int64_t size1 = 0, std::int64_t size2 = 0,
               int state = kStateDifferent) {
        KItem* item = KItem::Item(name, sides & 1 ? size1 : size2, dir, sides & 1 ? kSideLeft : kSideRight, &root,
                                  "", parent);
        if (sides & 1) item->setSideValues(kSideLeft, size1, kChristmas, dir);
        if (sides & 2) item->setSideValues(kSideRight, size2, kMarch, dir);
        item->iSizeReady = !dir;
        item->iState = state;
        parent->appendChild(item);
        return item;
    }

    // The tree most cases write: three folder levels, items on one side
    // only, a collapsed folder and a name that is a file on one side and a
    // folder on the other.
    void buildTree() {
        docs = add(&root, "Docs", 3, true);
        docs->iExpanded = true;
        KItem* sub = add(docs, "Sub", 3, true);
        sub->iExpanded = true;
        KItem* deep = add(sub, "Deep", 3, true);
        deep->iExpanded = true;
        add(deep, "report.txt", 3, false, 1'234'567, 1'234, kStateSizesDiffer);
        add(sub, "empty.md", 3, false, 0, 0, kStateEqual);
        add(docs, "readme.txt", 1, false, 42, 0, kStateOnlyLeft);
        media = add(&root, "Media", 1, true, 0, 0, kStateOnlyLeft);
        add(media, "song.mp3", 1, false, 5'000'000, 0, kStateOnlyLeft);
        KItem* photos = add(&root, "Photos", 2, true, 0, 0, kStateOnlyRight);
        photos->iExpanded = true;
        add(photos, "a.jpg", 2, false, 0, 2'048, kStateOnlyRight);
        add(&root, "only-right.txt", 2, false, 0, 999, kStateOnlyRight);
        KItem* mixed = add(&root, "mixed", 1, false, 10, 0);
        mixed->setSideValues(kSideRight, 0, kMarch, true);
        add(mixed, "inside", 2, false, 0, 1);
    }

    QByteArray render(std::vector<int> columns = kMainColumns, QString status = Messages::text("FoldersDiff0"),
                      ExportView view = {}) {
        ComparisonExport exporter(root, nullptr, std::move(columns), ExportOptions::fromSettings(settings),
                                  std::move(view), std::move(status));
        return exporter.render();
    }

    void expectGolden(const QByteArray& text, const char* name) {
        // After a deliberate change of the format: QV_UPDATE_GOLDEN=1, then review the diff.
        if (qEnvironmentVariableIsSet("QV_UPDATE_GOLDEN")) std::ofstream(goldenPath(name), std::ios::binary) << text.toStdString();
        const std::string expected = test::readAll(goldenPath(name));
        ASSERT_FALSE(expected.empty()) << goldenPath(name);
        EXPECT_EQ(text.toStdString(), expected) << "golden file " << name;
    }

    test::TestSettings settings;
    KRootItem root;
    KItem* docs = nullptr;
    KItem* media = nullptr;
};

TEST_F(ComparisonExportTest, RegisteredSettingsWriteIndentedNamesWithPrefixAndMarkers) {
    buildTree();
    const QByteArray text = render();
    expectGolden(text, "registered-defaults.csv");

    const std::vector<std::string> rows = lines(text);
    ASSERT_GE(rows.size(), 3u);
    EXPECT_EQ(rows[0], ";> = <;Name;Size;Modified;Modified;Size;Name");
    // The folders' line: the difference mark, both paths, the root's sizes and dates.
    EXPECT_EQ(split(rows[1], ';'),
              (std::vector<std::string>{"Folders", "!=", "/data/left", "2,469,134", "12/25/20, 6:30:00 PM",
                                        "3/4/21, 5:06:07 AM", "1,235,801", "/data/right"}));
    const std::string dot = "\u00B7";
    bool sawDeepFile = false, sawRightOnly = false;
    for (const std::string& row : rows) {
        const std::vector<std::string> f = split(row, ';');
        if (f.size() != 8) continue;
        if (f[2] == dot + "\u25BE Docs") {
            EXPECT_EQ(f[7], dot + "\u25BE Docs");
        }
        // Docs, Sub, empty.md: a file three levels down.
        if (f[2].find("empty.md") != std::string::npos) {
            sawDeepFile = true;
            EXPECT_EQ(f[2], dot + std::string(8, ' ') + "  empty.md");
            EXPECT_EQ(f[1], "==");
        }
        if (f[2].find("report.txt") != std::string::npos) {
            EXPECT_EQ(f[2], dot + std::string(12, ' ') + "  report.txt");
            EXPECT_EQ(f[3], "1,234,567");
        }
        if (f[7].find("only-right.txt") != std::string::npos) {
            sawRightOnly = true;
            EXPECT_EQ(f[2], dot + "  ");
            EXPECT_EQ(f[3], "");
            EXPECT_EQ(f[4], "");
            EXPECT_EQ(f[1], "->");
        }
    }
    EXPECT_TRUE(sawDeepFile);
    EXPECT_TRUE(sawRightOnly);
    // The collapsed folder is written closed and without its children.
    EXPECT_NE(text.indexOf(";<-;\u00B7\u25B8 Media;"), -1);
    EXPECT_EQ(text.indexOf("song.mp3"), -1);
    EXPECT_NE(text.indexOf("a.jpg"), -1);
}

TEST_F(ComparisonExportTest, SecondDestinationUsesCommasWithoutPrefixAndKeepsDatesInOneField) {
    buildTree();
    settings.store(QStringLiteral("exportDelimiter"), QStringLiteral(","));
    settings.store(QStringLiteral("thousandsDelimiter"), QStringLiteral(" "));
    settings.store(QStringLiteral("noneThousandsDelimiter"), true);
    settings.store(QStringLiteral("exportPrefix"), false);
    settings.store(QStringLiteral("optimizedFor"), 2);
    const QByteArray text = render();
    expectGolden(text, "destination-2.csv");

    // Every line has one field per column: no date comma splits a row.
    for (const auto& row : parseRows(text.toStdString(), ',')) EXPECT_EQ(row.size(), 8u);
    EXPECT_EQ(text.indexOf("\""), -1);
    EXPECT_NE(text.indexOf(",v Docs,"), -1);
    EXPECT_NE(text.indexOf(",> Media,"), -1);
    EXPECT_NE(text.indexOf(",12/25/20  6:30:00 PM,"), -1);
}

TEST_F(ComparisonExportTest, IndentOutsideItsRangeCountsAsFour) {
    buildTree();
    settings.store(QStringLiteral("exportPrefix"), false);
    for (const auto& [setting, spaces] : std::vector<std::pair<QString, int>>{
             {QStringLiteral("30"), 4}, {QStringLiteral("-1"), 4}, {QStringLiteral("x"), 4},
             {QStringLiteral("0"), 0}, {QStringLiteral("24"), 24}}) {
        settings.store(QStringLiteral("exportIndent"), setting);
        const QByteArray text = render();
        // "empty.md" sits two levels below the top.
        const std::string expected = ";" + std::string(2 * spaces, ' ') + "  empty.md;";
        EXPECT_NE(text.toStdString().find(expected), std::string::npos) << setting.toStdString();
    }
}

TEST_F(ComparisonExportTest, ViewDecidesWhatIsWrittenUnlessEverythingIsAsked) {
    buildTree();
    settings.store(QStringLiteral("exportPrefix"), false);
    // A view sorted backwards that shows Docs collapsed.
    ExportView view;
    view.shownChildren = [](KItem* item) {
        std::vector<KItem*> shown(item->iChildren().rbegin(), item->iChildren().rend());
        return shown;
    };
    view.isExpanded = [this](const KItem* item) { return item != docs && item->iExpanded; };
    std::vector<std::string> rows = lines(render({1}, {}, view));
    ASSERT_EQ(rows.size(), 2u + 6u);
    // The left side of "mixed" is a file facing a folder: no marker, nothing in its place.
    EXPECT_EQ(rows[2], ";mixed");
    EXPECT_EQ(rows[3], ";  ");   // only on the right: no left name
    EXPECT_EQ(rows[4], ";");     // a folder only on the right
    EXPECT_EQ(rows[5], ";      ");
    EXPECT_EQ(rows[6], ";\u25B8 Media");
    EXPECT_EQ(rows.back(), ";\u25B8 Docs");

    settings.store(QStringLiteral("exportAll"), true);
    const QByteArray all = render({1, 6}, {}, view);
    // Every item, in the tree's order, folders with children open.
    EXPECT_NE(all.indexOf(";\u25BE Media;\n"), -1);
    EXPECT_NE(all.indexOf(";      song.mp3;      \n"), -1);
    EXPECT_NE(all.indexOf(";\u25BE Docs;\u25BE Docs\n"), -1);
    EXPECT_EQ(lines(all).size(), 2u + 13u);
    EXPECT_LT(all.indexOf("Docs"), all.indexOf("Media"));
}

TEST_F(ComparisonExportTest, HostileNamesAreQuotedAndFormulasNeutralised) {
    settings.store(QStringLiteral("exportPrefix"), false);
    const std::vector<std::string> names = {"a;b", "say \"hi\"", "two\nlines", "cr\rhere", "=SUM(A1)", "plain"};
    for (const std::string& name : names) add(&root, name.c_str(), 3, false, 1, 1);
    // A file on the left facing a folder on the right: the left name opens its field.
    for (const char* name : {"=cmd|' /C calc'!A0", "+1", "-2", "@x", "\tt"}) {
        KItem* item = add(&root, name, 1, false, 1, 0);
        item->setSideValues(kSideRight, 0, kMarch, true);
        add(item, "child", 2, false, 0, 1);
    }
    KItem* kinded = add(&root, "kind", 3, false, 1, 1);
    kinded->extras().iKind1 = QStringLiteral("text; plain");

    const std::string text = render({1, 6, 11}).toStdString();
    const auto rows = parseRows(text, ';');
    ASSERT_EQ(rows.size(), 2u + names.size() + 5u + 1u);
    for (std::size_t i = 0; i < names.size(); ++i) {
        // Fields start with the delimiter, so the first parsed field is empty.
        ASSERT_EQ(rows[2 + i].size(), 4u) << names[i];
        EXPECT_EQ(rows[2 + i][1], "  " + names[i]);
        EXPECT_EQ(rows[2 + i][2], "  " + names[i]);
    }
    EXPECT_NE(text.find(";\"  say \"\"hi\"\"\";"), std::string::npos);
    EXPECT_NE(text.find(";  =SUM(A1);"), std::string::npos);   // indented: not read as a formula
    EXPECT_NE(text.find(";  plain;  plain;\n"), std::string::npos);
    const std::vector<std::string> formulas = {"'=cmd|' /C calc'!A0", "'+1", "'-2", "'@x", "'\tt"};
    for (std::size_t i = 0; i < formulas.size(); ++i) EXPECT_EQ(rows[2 + names.size() + i][1], formulas[i]);
    EXPECT_NE(text.find(";'+1;\u25B8 +1;\n"), std::string::npos);
    EXPECT_EQ(rows.back()[3], "text; plain");

    settings.store(QStringLiteral("exportQuotes"), true);
    const std::string quoted = render({1, 6, 11}).toStdString();
    EXPECT_NE(quoted.find(";\"  plain\";\"  plain\";\n"), std::string::npos);
    EXPECT_NE(quoted.find(";\"'=cmd|' /C calc'!A0\";\"\u25B8 =cmd|' /C calc'!A0\";\n"), std::string::npos);
    EXPECT_NE(quoted.find(";\"  say \"\"hi\"\"\";"), std::string::npos);
    EXPECT_EQ(parseRows(quoted, ';'), rows);
}

TEST(ExportMarksTest, FieldRules) {
    std::string out;
    appendField(out, "a,b", ",");
    appendField(out, "|a;b|", ",");
    appendField(out, "x\"y", "\u00B7");
    appendField(out, "a\u00B7b", "\u00B7");
    appendField(out, "", ";", true);
    EXPECT_EQ(out, "\"a,b\"|a;b|\"x\"\"y\"\"a\u00B7b\"\"\"");

    auto name = [](std::string_view leading, std::string_view n, bool force) {
        std::string s;
        appendNameField(s, leading, n, ";", force);
        return s;
    };
    EXPECT_EQ(name("", "=1+1", false), "'=1+1");
    EXPECT_EQ(name("", "-rf", true), "\"'-rf\"");
    EXPECT_EQ(name("", "@a;b", false), "\"'@a;b\"");
    EXPECT_EQ(name("", "\rx", false), "\"'\rx\"");
    EXPECT_EQ(name("  ", "=1", false), "  =1");
    EXPECT_EQ(name("\u00B7", "=1", false), "\u00B7=1");
    EXPECT_EQ(name("", "a=b", false), "a=b");
    EXPECT_EQ(name(";", "x", false), "\";x\"");   // a prefix equal to the delimiter
}

TEST(ExportMarksTest, StateMarks) {
    KRootItem root;
    KItem* file = KItem::Item("f", 5, false, kSideLeft, &root, "", &root);
    file->setSideValues(kSideRight, 5, 0, false);
    KItem* folder = KItem::Item("d", 0, true, kSideLeft, &root, "", &root);
    folder->setSideValues(kSideRight, 0, 0, true);
    folder->iSizeReady = false;
    const std::vector<std::pair<int, const char*>> plain = {
        {0, "?"}, {1, "="}, {2, "!="}, {3, "!="}, {4, "!="}, {5, "!="}, {6, "!="}, {7, "<-"}, {8, "->"},
        {9, "!="}, {10, "!"}, {11, "R"}, {12, "T"}, {13, "!="}, {kStatePending, "?"}};
    for (const auto& [state, mark] : plain) {
        file->iState = state;
        EXPECT_STREQ(stateMark(*file, false), mark) << state;
    }
    file->iState = kStateEqual;
    EXPECT_STREQ(stateMark(*file, true), "==");
    file->iSize1 = 0;
    EXPECT_STREQ(stateMark(*file, false), "==");   // nothing to differ in
    file->iState = kStateDatesDiffer;
    EXPECT_STREQ(stateMark(*file, true), "==");
    EXPECT_STREQ(stateMark(*file, false), "!=");
    folder->iState = kStateDatesDiffer;
    EXPECT_STREQ(stateMark(*folder, true), "!=");
    folder->iState = kStateEqual;
    EXPECT_STREQ(stateMark(*folder, false), "=");   // a folder size not added up is not known to be 0
}

TEST(KSizeFormatterTest, BytesGroupedOrCountedWithUnit) {
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    EXPECT_EQ(KSizeFormatter(true, QStringLiteral(","), us).StringFromNumber(1234567890), QStringLiteral("1,234,567,890"));
    EXPECT_EQ(KSizeFormatter(true, QStringLiteral(" "), us).StringFromNumber(999), QStringLiteral("999"));
    EXPECT_EQ(KSizeFormatter(true, QStringLiteral(" "), us).StringFromNumber(1000), QStringLiteral("1 000"));
    EXPECT_EQ(KSizeFormatter(true, QStringLiteral("\u00A0x"), us).StringFromNumber(123456),
              QStringLiteral("123\u00A0456"));
    EXPECT_EQ(KSizeFormatter(true, QString(), us).StringFromNumber(1234567), QStringLiteral("1234567"));
    EXPECT_EQ(KSizeFormatter(true, QStringLiteral(","), us).StringFromNumber(0), QStringLiteral("0"));

    const KSizeFormatter counted(false, QStringLiteral(","), us);
    EXPECT_EQ(counted.StringFromNumber(0), QStringLiteral("0 bytes"));
    EXPECT_EQ(counted.StringFromNumber(999), QStringLiteral("999 bytes"));
    EXPECT_EQ(counted.StringFromNumber(1000), QStringLiteral("1 kB"));
    EXPECT_EQ(counted.StringFromNumber(1'234'567), QStringLiteral("1.2 MB"));
    EXPECT_EQ(counted.StringFromNumber(999'960), QStringLiteral("1 MB"));
    EXPECT_EQ(counted.StringFromNumber(5'000'000'000), QStringLiteral("5 GB"));

    test::TestSettings settings;
    EXPECT_EQ(KSizeFormatter::fromSettings(settings).StringFromNumber(1234567), QStringLiteral("1,234,567"));
    settings.store(QStringLiteral("noneThousandsDelimiter"), true);
    EXPECT_EQ(KSizeFormatter::fromSettings(settings).StringFromNumber(1234567), QStringLiteral("1234567"));
    settings.store(QStringLiteral("expSizeInBytes"), false);
    EXPECT_EQ(KSizeFormatter::fromSettings(settings).StringFromNumber(1234567), QStringLiteral("1.2 MB"));
}

TEST_F(ComparisonExportTest, DatesAreLocalWithRelativeDayNames) {
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    const std::int64_t now = QDateTime::currentSecsSinceEpoch() * kSecond;
    const std::int64_t noon = (now / (86400 * kSecond)) * 86400 * kSecond + 12 * 3600 * kSecond;
    ExportDateFormatter relative(true, true, now, us);
    EXPECT_EQ(relative.text(noon), QStringLiteral("Today, 12:00:00 PM"));
    EXPECT_EQ(relative.text(noon - 86400 * kSecond - 1), QStringLiteral("Yesterday, 11:59:59 AM"));
    EXPECT_EQ(relative.text(noon + 86400 * kSecond), QStringLiteral("Tomorrow, 12:00:00 PM"));
    EXPECT_EQ(relative.text(kMarch), QStringLiteral("3/4/21, 5:06:07 AM"));
    EXPECT_EQ(relative.text(platform::kNoTime), QString());
    EXPECT_EQ(relative.text(-1 * kSecond), QStringLiteral("12/31/69, 11:59:59 PM"));   // before the epoch

    ExportDateFormatter plain(false, false, now, us);
    EXPECT_EQ(plain.text(noon), QDate::currentDate().toString(QStringLiteral("M/d/yy")));
    EXPECT_EQ(plain.text(kChristmas), QStringLiteral("12/25/20"));

    // Local time follows the zone, including its change of offset in summer.
    qputenv("TZ", "Europe/Berlin");
    ExportDateFormatter berlin(true, false, now, us);
    EXPECT_EQ(berlin.text(kChristmas), QStringLiteral("12/25/20, 7:30:00 PM"));
    EXPECT_EQ(berlin.text(kChristmas + 182LL * 86400 * kSecond), QStringLiteral("6/25/21, 8:30:00 PM"));
    // 2021-03-28, the day the clocks go forward at 01:00 UTC.
    EXPECT_EQ(berlin.text(1'616'891'400 * kSecond), QStringLiteral("3/28/21, 1:30:00 AM"));
    EXPECT_EQ(berlin.text(1'616'895'000 * kSecond), QStringLiteral("3/28/21, 3:30:00 AM"));
    qputenv("TZ", "UTC");
    tzset();

    const QLocale german(QLocale::German, QLocale::Germany);
    EXPECT_EQ(ExportDateFormatter(true, false, now, german).text(kChristmas), QStringLiteral("25.12.20, 18:30:00"));
}

TEST_F(ComparisonExportTest, FoldersLineMarkFollowsTheStatusLine) {
    auto markOf = [&](const QString& status) { return split(lines(render({0, 1}, status))[1], ';')[1]; };
    EXPECT_EQ(markOf(Messages::text("FoldersDiff0") + QStringLiteral(" 3 differences.")), "!=");
    EXPECT_EQ(markOf(Messages::text("FoldersEqual")), "==");
    EXPECT_EQ(markOf(QStringLiteral("Comparing…")), "");

    // Below the root, the line shows the shown folder's own values.
    buildTree();
    ComparisonExport exporter(root, media, {2, 3, 4, 5, 9, 15}, ExportOptions::fromSettings(settings), {}, {});
    media->iSize1 = 5'000'000;
    media->iSizeReady = true;
    EXPECT_EQ(lines(exporter.render())[1], "Folders;5,000,000;12/25/20, 6:30:00 PM;;;;");
    EXPECT_EQ(ComparisonExport::columnListText({0, 1, 2, 6}), QStringLiteral(">=<, Name, Size, Name"));
}

class ExportFileTest : public ComparisonExportTest {
protected:
    QString destination(const char* name) const { return QString::fromStdString(folder.path(name)); }
    std::string exportTo(const QString& path, bool replace, const std::atomic<bool>* cancelled = nullptr) {
        ComparisonExport exporter(root, nullptr, kMainColumns, ExportOptions::fromSettings(settings), {},
                                  Messages::text("FoldersEqual"));
        return exporter.ExportNow(path, replace, cancelled).toStdString();
    }
    test::TempTree folder;
};

TEST_F(ExportFileTest, WritesThroughATemporaryAndNeverLeavesAPartialFile) {
    buildTree();
    const QString target = destination("Quorvane.csv");
    EXPECT_EQ(exportTo(target, false), "");
    ComparisonExport same(root, nullptr, kMainColumns, ExportOptions::fromSettings(settings), {},
                          Messages::text("FoldersEqual"));
    EXPECT_EQ(test::readAll(target.toStdString()), same.render().toStdString());
    EXPECT_EQ(test::namesIn(folder.root()), std::set<std::string>{"Quorvane.csv"});

    // An existing file stays unless replacing was chosen.
    folder.fileWithText("old.csv", "keep me");
    const std::string refused = exportTo(destination("old.csv"), false);
    EXPECT_NE(refused.find("old.csv"), std::string::npos) << refused;
    EXPECT_EQ(test::readAll(folder.path("old.csv")), "keep me");
    ::chmod(folder.path("old.csv").c_str(), 0640);
    EXPECT_EQ(exportTo(destination("old.csv"), true), "");
    EXPECT_EQ(test::readAll(folder.path("old.csv")), test::readAll(target.toStdString()));
    struct stat st {};
    ::stat(folder.path("old.csv").c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0640u);   // a replaced file keeps its permissions

    // Cancelled at the start or half way: nothing under the final name, no temporary left.
    std::atomic<bool> cancelled{true};
    EXPECT_NE(exportTo(destination("cancelled.csv"), false, &cancelled), "");
    cancelled = false;
    ComparisonExport halfway(root, nullptr, kMainColumns, ExportOptions::fromSettings(settings),
                             ExportView{{}, [&](const KItem* item) {
                                            if (item == docs) cancelled = true;
                                            return item->iExpanded;
                                        }, {}},
                             {});
    EXPECT_NE(halfway.ExportNow(destination("halfway.csv"), false, &cancelled), QString());
    EXPECT_TRUE(cancelled);
    cancelled = false;
    // The level below Docs is never entered; its siblings were already under way.
    const QByteArray partial = halfway.render(&cancelled);
    EXPECT_EQ(partial.count('\n'), 2 + 5);
    EXPECT_EQ(partial.indexOf("Sub"), -1);

    // A folder that does not exist.
    EXPECT_NE(exportTo(destination("missing/x.csv"), true), "");
    EXPECT_EQ(test::namesIn(folder.root()), (std::set<std::string>{"Quorvane.csv", "old.csv"}));
}

TEST_F(ExportFileTest, ReadOnlyFolderFailsAndStaleTemporariesGo) {
    buildTree();
    folder.folder("ro");
    ::chmod(folder.root().c_str(), 0755);
    ::chmod(folder.path("ro").c_str(), 0555);
    // Root ignores permission bits: write as an ordinary user for this case.
    const bool wasRoot = ::geteuid() == 0;
    if (wasRoot) {
        ASSERT_EQ(::seteuid(65534), 0);
    }
    const std::string error = exportTo(destination("ro/x.csv"), true);
    if (wasRoot) {
        ASSERT_EQ(::seteuid(0), 0);
    }
    EXPECT_NE(error.find("x.csv"), std::string::npos) << error;
    EXPECT_TRUE(test::namesIn(folder.path("ro")).empty());

    // Temporaries of dead writers go; a user's file of a similar name stays.
    folder.deadTemporary("w", "partial");
    folder.deadTemporary("w", "");
    folder.fileWithText("w/.qvwrite-mine", "the user's own");
    EXPECT_EQ(exportTo(destination("w/out.csv"), false), "");
    EXPECT_EQ(test::namesIn(folder.path("w")), (std::set<std::string>{".qvwrite-mine", "out.csv"}));
}

}  // namespace
}  // namespace qv
