// The Preferences edit registered keys only, each with a control that fits
// its type, each key on one page; a page's reset leaves the other pages alone.

#include "app/PreferencePages.h"

#include "base/Settings.h"
#include "support/TestSettings.h"

#include <gtest/gtest.h>

#include <set>

namespace qv::test {
namespace {

bool fits(PreferenceKind kind, SettingType type) {
    switch (kind) {
        case PreferenceKind::Check: return type == SettingType::Bool;
        case PreferenceKind::Choice: return type == SettingType::Int;
        case PreferenceKind::Number: return type == SettingType::Int || type == SettingType::String;
        case PreferenceKind::Text:
        case PreferenceKind::Character: return type == SettingType::String;
        case PreferenceKind::Color: return type == SettingType::Color;
        case PreferenceKind::Font: return type == SettingType::Font;
    }
    return false;
}

TEST(PreferencePagesTest, EveryControlEditsARegisteredKeyOfItsTypeOnce) {
    std::set<QString> seen;
    for (const PreferencePage& page : PreferencePages::pages()) {
        EXPECT_FALSE(page.controls.empty()) << page.titleKey;
        for (const PreferenceControl& c : page.controls) {
            const RegisteredDefault* registered = Settings::registered(c.key);
            ASSERT_TRUE(registered) << c.key.toStdString();
            EXPECT_TRUE(fits(c.kind, registered->type)) << c.key.toStdString();
            EXPECT_TRUE(seen.insert(c.key).second) << c.key.toStdString() << " is on two pages";
            EXPECT_EQ(PreferencePages::control(c.key), &c);
            if (c.kind == PreferenceKind::Choice) {
                // The registered value is one of the choices offered.
                bool offered = false;
                for (const PreferenceChoice& choice : c.choices) offered = offered || choice.value == registered->value.toInt();
                EXPECT_TRUE(offered) << c.key.toStdString();
            }
            if (c.kind == PreferenceKind::Number) {
                EXPECT_LT(c.minimum, c.maximum) << c.key.toStdString();
            }
        }
    }
    EXPECT_EQ(PreferencePages::control(QStringLiteral("folderHist")), nullptr);
}

TEST(PreferencePagesTest, AResetClearsThePagesOwnKeysOnly) {
    TestSettings settings;
    const auto& pages = PreferencePages::pages();
    ASSERT_GE(pages.size(), 2u);
    for (const PreferencePage& page : pages)
        for (const PreferenceControl& c : page.controls) settings.store(c.key, Settings::registered(c.key)->value);
    settings.store(QStringLiteral("folderHist"), QStringLiteral("kept"));
    PreferencePages::ResetPage(settings, pages[0]);
    for (const PreferenceControl& c : pages[0].controls) EXPECT_FALSE(settings.isStored(c.key)) << c.key.toStdString();
    for (const PreferenceControl& c : pages[1].controls) EXPECT_TRUE(settings.isStored(c.key)) << c.key.toStdString();
    EXPECT_TRUE(settings.isStored(QStringLiteral("folderHist")));
}

}  // namespace
}  // namespace qv::test
