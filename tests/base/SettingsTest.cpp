#include "base/Settings.h"
#include "support/TestSettings.h"

#include <QSettings>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace qv {
namespace {

TEST(SettingsTest, OverrideBeatsStoredValueWhichBeatsTheRegisteredDefault) {
    QTemporaryDir dir;
    auto store = std::make_unique<QSettings>(dir.filePath(QStringLiteral("q.ini")), QSettings::IniFormat);
    QSettings* raw = store.get();
    Settings settings(std::move(store));

    EXPECT_EQ(settings.stringValue(QStringLiteral("exportDelimiter")), QStringLiteral(";"));
    EXPECT_FALSE(settings.boolValue(QStringLiteral("optCmpContents")));
    raw->setValue(QStringLiteral("exportDelimiter"), QStringLiteral(","));
    EXPECT_EQ(settings.stringValue(QStringLiteral("exportDelimiter")), QStringLiteral(","));
    settings.setOverride(QStringLiteral("exportDelimiter"), QStringLiteral("|"));
    EXPECT_EQ(settings.stringValue(QStringLiteral("exportDelimiter")), QStringLiteral("|"));
    EXPECT_EQ(raw->value(QStringLiteral("exportDelimiter")).toString(), QStringLiteral(","));
    settings.clearOverrides();
    EXPECT_EQ(settings.stringValue(QStringLiteral("exportDelimiter")), QStringLiteral(","));
    // Unknown keys read as nothing.
    EXPECT_FALSE(settings.value(QStringLiteral("noSuchKey")).isValid());
    EXPECT_EQ(settings.intValue(QStringLiteral("filterKeys")), 4095);
}

TEST(SettingsTest, ValuesParseByTheirRegisteredType) {
    QVariant v;
    const RegisteredDefault* flag = Settings::registered(QStringLiteral("optCmpContents"));
    ASSERT_NE(flag, nullptr);
    EXPECT_TRUE(Settings::parseValue(*flag, QStringLiteral("YES"), v));
    EXPECT_TRUE(v.toBool());
    EXPECT_TRUE(Settings::parseValue(*flag, QStringLiteral("0"), v));
    EXPECT_FALSE(v.toBool());
    EXPECT_FALSE(Settings::parseValue(*flag, QStringLiteral("maybe"), v));

    const RegisteredDefault* number = Settings::registered(QStringLiteral("optIgnoreSizeIn"));
    ASSERT_NE(number, nullptr);
    EXPECT_TRUE(Settings::parseValue(*number, QStringLiteral("-3"), v));
    EXPECT_EQ(v.toLongLong(), -3);
    EXPECT_FALSE(Settings::parseValue(*number, QStringLiteral("3.5"), v));

    const RegisteredDefault* colour = Settings::registered(QStringLiteral("fcChgTxtColor"));
    ASSERT_NE(colour, nullptr);
    EXPECT_TRUE(Settings::parseValue(*colour, QStringLiteral("#FF8800"), v));
    EXPECT_EQ(v.toString(), QStringLiteral("#ffff8800"));
    EXPECT_FALSE(Settings::parseValue(*colour, QStringLiteral("orange"), v));
    EXPECT_EQ(Settings::registered(QStringLiteral("lastVersion")), nullptr);
}

// The registration table as the product documents it: key, type, default.
const char* const kDocumentedDefaults = R"(
optCmpContents bool false|optIgnoreDates bool false|optIgnore2secDates bool false|optIgnoreSize bool false
optIgnoreSizeValue string |optIgnoreSizeIn integer 1|opCmpSubfolders bool true|optInclEmptyDirs bool true
optIgnoreExt bool false|opResolveAliases bool false|opIncludeAliases bool true|cmpEverything bool false
opCmpRsrc bool false|opCmpTags bool false|opCmpHidden bool true|opCmpHidden63 bool true|optIgnoreFN bool false
calculateSameCompare bool true|optFoldersTop bool false|excludeFoldersOn bool false|exclComverted bool false
exclFilesOn bool false|exclFoldersOn bool false|cmpOnlyFilesOn bool false|cmpOnlyFoldersOn bool false
selExFiles integer 0|selExFolders integer 0|SyncType integer 0|mirrorDelDest bool false|mirrorOnlyOrphan bool false
dontShowMirrReady bool false|dontShowMirrReady2 bool false|overwrittenToTrash2 bool false
dontOverwiteIdentical bool false|dontShowOWWarning bool false|dontShowIdentCopyMsg bool false
dontShowUpdateReady bool false|mergeDelPermanent bool false|mergeArchiveFolder string |allowDnD bool true
dragMsg bool false|renPrefSuf integer 1|renAddText string |renOpt integer 1|exportPrefixChar string ·
exportPrefix bool true|exportQuotes bool false|exportDelimiter string ;|thousandsDelimiter string ,
tabDelimiter bool false|noneThousandsDelimiter bool false|optimizedFor integer 1|expSizeInBytes bool true
exportIndent string 4|exportCurrentView bool true|exportAll bool false|fontSize integer 1|fileType integer 0
mergeSmallFont bool true|showFCInfoStep integer 1|fcHighBcg bool true|fcInvertColors bool true
fcInverseTxtDColor colour #ffffffff|fcChgTxtColor colour #80ff9500|fcAddTxtColor colour #40af52de
fcFont font Monospace,11,-1,5,400,0,0,0,0,0|seaFullWord bool false|seaIgnoreCase bool true|seaFindIn integer 1
qvssPreview bool true|qvssSortCol integer 1|qvssFoldersOnTop bool true|qvssAscending bool true
itemRowSize integer 14|shIdent bool true|shDiff bool true|shLeft bool true|shRight bool true|colorBcg bool false
columnLines bool false|alterRows bool true|showTime bool true|showRelative bool true|showIconLabels bool false
savePaths bool true|sizeInBytes bool true|showColumns integer 3|leftSplit integer 0|rightSplit integer 0
expandMsg bool false|dontShowTabSaveQuit bool false|dontShowTabSave bool false|autoCheckForUpdate bool true
asSplash bool true|lrArrowsMakeAction integer 0|udArrowsMakeAction integer 0|reverseLRArrows bool false
dblClickAction integer 0|openCompareIn2 integer 2|fHistoryLimit integer 15|filterKeys integer 4095|dirStat integer 1
maxLenPath integer 40|showColorTags2 integer 1|pictPreview bool true|doubleRowFiles bool false
doubleRowFolders bool false|selTab string 0|canRestoreTabs bool true
updateURL string https://quorvane.org/releases/linux/)";

TEST(SettingsTest, TheRegistrationTableHoldsEveryDocumentedKeyWithItsTypeAndDefault) {
    test::TestSettings settings;
    const QStringList rows = QString::fromUtf8(kDocumentedDefaults)
                                 .split(QRegularExpression(QStringLiteral("[|\n]")), Qt::SkipEmptyParts);
    ASSERT_EQ(static_cast<std::size_t>(rows.size()), Settings::QVDefaults().size());
    for (const QString& row : rows) {
        const QString trimmed = row.trimmed();
        const QString key = trimmed.section(' ', 0, 0), type = trimmed.section(' ', 1, 1), value = trimmed.section(' ', 2);
        const RegisteredDefault* d = Settings::registered(key);
        ASSERT_NE(d, nullptr) << key.toStdString();
        EXPECT_EQ(Settings::typeName(d->type), type) << key.toStdString();
        QString actual = settings.value(key).toString();
        if (d->type == SettingType::Bool) actual = settings.boolValue(key) ? QStringLiteral("true") : QStringLiteral("false");
        EXPECT_EQ(actual, value) << key.toStdString();
    }
}

}  // namespace
}  // namespace qv
