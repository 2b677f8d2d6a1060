// How the export options follow one another in the options panel: a
// destination sets what suits it, the tab switch and the grouping switch
// replace and restore their characters, one character per field.

#include "export/ExportPanelRules.h"

#include "engine/KItem.h"
#include "support/TestSettings.h"

#include <gtest/gtest.h>

namespace qv::test {
namespace {

class ExportPanelRulesTest : public ::testing::Test {
protected:
    QString text(const char* key) const { return settings.stringValue(QString::fromLatin1(key)); }
    bool flag(const char* key) const { return settings.boolValue(QString::fromLatin1(key)); }
    TestSettings settings;
};

TEST_F(ExportPanelRulesTest, ADestinationSetsItsDelimiterGroupingAndPrefix) {
    ExportPanelRules::OptimizedFor(settings, 2);
    EXPECT_EQ(text("exportDelimiter"), ",");
    EXPECT_EQ(text("thousandsDelimiter"), " ");
    EXPECT_TRUE(flag("noneThousandsDelimiter"));
    EXPECT_FALSE(flag("exportPrefix"));
    ExportPanelRules::OptimizedFor(settings, 1);
    EXPECT_EQ(text("exportDelimiter"), ";");
    EXPECT_EQ(text("thousandsDelimiter"), ",");
    EXPECT_FALSE(flag("noneThousandsDelimiter"));
    EXPECT_TRUE(flag("exportPrefix"));
    EXPECT_EQ(text("exportPrefixChar"), QString(QChar(0x00B7)));
    ExportPanelRules::OptimizedFor(settings, 0);   // changes nothing but the choice
    EXPECT_EQ(text("exportDelimiter"), ";");
    EXPECT_EQ(settings.intValue(QStringLiteral("optimizedFor")), 0);

    // A typed delimiter keeps its first character and picks the destination it stands for.
    ExportPanelRules::setDelimiter(settings, QStringLiteral(",;"));
    EXPECT_EQ(text("exportDelimiter"), ",");
    EXPECT_EQ(settings.intValue(QStringLiteral("optimizedFor")), 2);
    ExportPanelRules::setDelimiter(settings, QStringLiteral("|"));
    EXPECT_EQ(settings.intValue(QStringLiteral("optimizedFor")), 0);
    bool cut = false;
    EXPECT_EQ(ExportPanelRules::oneCharacter(QStringLiteral("ab"), &cut), "a");
    EXPECT_TRUE(cut);
}

TEST_F(ExportPanelRulesTest, TheTabAndGroupingSwitchesReplaceAndRestoreTheirCharacters) {
    ExportPanelRules::OptimizedFor(settings, 2);
    ExportPanelRules::setTabDelimiter(settings, true);
    EXPECT_EQ(text("exportDelimiter"), "\t");
    ExportPanelRules::setTabDelimiter(settings, false);
    EXPECT_EQ(text("exportDelimiter"), ",");
    // Without a destination there is no delimiter to go back to: one must be typed.
    ExportPanelRules::OptimizedFor(settings, 0);
    EXPECT_TRUE(ExportPanelRules::setTabDelimiter(settings, true));
    EXPECT_FALSE(ExportPanelRules::setTabDelimiter(settings, false));
    EXPECT_FALSE(ExportPanelRules::canExport(settings, QString()));
    EXPECT_TRUE(ExportPanelRules::canExport(settings, QStringLiteral("|")));
    ExportPanelRules::setTabDelimiter(settings, true);
    EXPECT_TRUE(ExportPanelRules::canExport(settings, QString()));
    // An emptied field stores nothing: the setting keeps a delimiter of one character.
    ExportPanelRules::setTabDelimiter(settings, false);
    ExportPanelRules::setDelimiter(settings, QStringLiteral("|"));
    ExportPanelRules::setDelimiter(settings, QString());
    EXPECT_EQ(text("exportDelimiter"), "|");
    EXPECT_EQ(settings.intValue(QStringLiteral("optimizedFor")), 0);

    ExportPanelRules::setDelimiter(settings, QStringLiteral(","));
    ExportPanelRules::setNoGrouping(settings, true);
    EXPECT_EQ(text("thousandsDelimiter"), "");
    ExportPanelRules::setNoGrouping(settings, false);
    EXPECT_EQ(text("thousandsDelimiter"), " ");   // a comma delimiter cannot group with commas
    ExportPanelRules::setDelimiter(settings, QStringLiteral(";"));
    ExportPanelRules::setNoGrouping(settings, false);
    EXPECT_EQ(text("thousandsDelimiter"), ",");
}

TEST_F(ExportPanelRulesTest, TheEstimateDecidesWhetherTheProgressIsShown) {
    KItem parent(nullptr, nullptr);
    parent.folder().iFiles1 = 9000;
    parent.folder().iFolders2 = 1001;
    EXPECT_EQ(ExportPanelRules::estimatedLines(parent, true, 0), 10001u);
    EXPECT_GE(ExportPanelRules::estimatedLines(parent, true, 0), ExportPanelRules::kProgressAlertLines);
    EXPECT_EQ(ExportPanelRules::estimatedLines(parent, false, 5000), 10000u);
    EXPECT_LT(ExportPanelRules::estimatedLines(parent, false, 5000), ExportPanelRules::kProgressAlertLines);
}

}  // namespace
}  // namespace qv::test
