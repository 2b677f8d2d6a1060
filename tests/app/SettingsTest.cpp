#include "app/Settings.h"

#include <QSettings>
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

}  // namespace
}  // namespace qv
