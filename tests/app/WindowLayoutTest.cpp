// The layout a window leaves for the next start is stored under "columns53"
// and "ui78" in the form the keys name, and the windows open at quit come
// back field by field; a value edited by hand into nonsense reads as nothing.

#include "app/WindowLayout.h"
#include "support/TestSettings.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

namespace qv::test {
namespace {

class WindowLayoutTest : public ::testing::Test {
protected:
    QJsonDocument stored(const char* key) {
        return QJsonDocument::fromJson(settings.value(QString::fromLatin1(key)).toString().toUtf8());
    }
    TestSettings settings;
};

TEST_F(WindowLayoutTest, ColumnsAndPanesAreStoredUnderTheirKeys) {
    EXPECT_FALSE(WindowLayout::storedColumns(settings));
    WindowLayout::storeLayout(settings, {{QStringLiteral("name1"), 240.5, QString()}, {QStringLiteral("state"), 60, QStringLiteral("red")}},
                              {0, 310, 2});
    const QJsonArray columns = stored("columns53").array();
    ASSERT_EQ(columns.size(), 2);
    EXPECT_EQ(columns[0].toObject().keys(), (QStringList{QStringLiteral("id"), QStringLiteral("width")}));
    EXPECT_EQ(columns[1].toObject().value(QStringLiteral("colorId")).toString(), QStringLiteral("red"));
    const QJsonObject ui = stored("ui78").object();
    EXPECT_EQ(ui.keys(), (QStringList{QStringLiteral("fileType"), QStringLiteral("leftSplit"), QStringLiteral("rightSplit")}));
    EXPECT_EQ(ui.value(QStringLiteral("rightSplit")).toInt(), 310);

    const auto back = WindowLayout::storedColumns(settings);
    ASSERT_TRUE(back);
    ASSERT_EQ(back->size(), 2);
    EXPECT_EQ((*back)[0].id, QStringLiteral("name1"));
    EXPECT_DOUBLE_EQ((*back)[0].width, 240.5);
    EXPECT_EQ(WindowLayout::storedPanes(settings)->fileType, 2);
}

TEST_F(WindowLayoutTest, NonsenseReadsAsNothing) {
    for (const char* text : {"not json", "{\"id\":1}", "[{\"id\":\"name1\",\"width\":-3}]", "[{\"width\":10}]", "[5]"}) {
        settings.store(QStringLiteral("columns53"), QString::fromLatin1(text));
        EXPECT_FALSE(WindowLayout::storedColumns(settings)) << text;
    }
    settings.store(QStringLiteral("ui78"), QStringLiteral("{\"leftSplit\":-5,\"rightSplit\":200,\"fileType\":9}"));
    const auto ui = WindowLayout::storedPanes(settings);
    ASSERT_TRUE(ui);
    EXPECT_EQ(ui->leftSplit, 0);
    EXPECT_EQ(ui->rightSplit, 200);
    EXPECT_EQ(ui->fileType, 0);
}

TEST_F(WindowLayoutTest, OpenWindowsComeBackInOrderAndGarbageIsSkipped) {
    RestorableWindow a;
    a.uuid = QStringLiteral("U1");
    a.leftPath = QStringLiteral("/l");
    a.rightPath = QStringLiteral("/r");
    a.leftFile = QStringLiteral("/l/f");
    a.rightFile = QStringLiteral("/r/f");
    a.selTab = QStringLiteral("2");
    a.columns = {{QStringLiteral("kind1"), 90, QString()}};
    a.ui = {0, 250, 1};
    a.geometry = QRect(10, 20, 800, 600);
    RestorableWindow b;
    b.uuid = QStringLiteral("U2");
    b.maximized = true;
    WindowLayout::storeOpenWindows(settings, {a, b});

    const std::vector<RestorableWindow> back = WindowLayout::openWindows(settings);
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[0].uuid, QStringLiteral("U1"));
    EXPECT_EQ(back[0].rightFile, QStringLiteral("/r/f"));
    EXPECT_EQ(back[0].selTab, QStringLiteral("2"));
    EXPECT_EQ(back[0].geometry, QRect(10, 20, 800, 600));
    EXPECT_EQ(back[0].columns.size(), 1);
    EXPECT_EQ(back[0].ui.rightSplit, 250);
    EXPECT_TRUE(back[1].geometry.isEmpty());
    EXPECT_TRUE(back[1].maximized);

    settings.store(QStringLiteral("openWindows"),
                    QStringLiteral("[7, {\"RESTleftPath\":\"/x\",\"geometry\":[1,2,0,0]}, \"text\"]"));
    const std::vector<RestorableWindow> odd = WindowLayout::openWindows(settings);
    ASSERT_EQ(odd.size(), 1u);
    EXPECT_EQ(odd[0].leftPath, QStringLiteral("/x"));
    EXPECT_TRUE(odd[0].geometry.isEmpty()) << "a window of no size is placed by the window manager";
    EXPECT_EQ(odd[0].selTab, QStringLiteral("0"));

    WindowLayout::storeOpenWindows(settings, {});
    EXPECT_FALSE(settings.isStored(QStringLiteral("openWindows")));
}

}  // namespace
}  // namespace qv::test
