#include "cli/ScriptingModule.h"

#include <QFileInfo>

#include <gtest/gtest.h>

namespace qv {
namespace {

// The command looks for the module where the build puts it, beside the
// binary folder: the test programs sit in that folder too.
TEST(ScriptingModuleTest, TheModuleIsFoundWhereTheBuildPutsItAndHandsOverEveryCall) {
    EXPECT_EQ(QFileInfo(scriptingModulePath()).canonicalFilePath(), QFileInfo(QStringLiteral(QV_BUS_MODULE)).canonicalFilePath());
    QString why;
    const ScriptingClientCalls* client = loadScriptingClient(QStringLiteral(QV_BUS_MODULE), why);
    ASSERT_NE(client, nullptr) << why.toStdString();
    EXPECT_TRUE(client->applicationRunning && client->scriptingReady && client->startApplication && client->call);
}

TEST(ScriptingModuleTest, AMissingOrForeignModuleIsAnErrorWithItsReason) {
    QString why;
    EXPECT_EQ(loadScriptingClient(QStringLiteral("/nonexistent/libquorvane-bus.so"), why), nullptr);
    EXPECT_FALSE(why.isEmpty());
    // A library that loads but is not the client.
    why.clear();
    EXPECT_EQ(loadScriptingClient(QStringLiteral(QV_QTCORE_LIBRARY), why), nullptr);
    EXPECT_TRUE(why.contains(QLatin1String(kScriptingClientEntry))) << why.toStdString();
}

}  // namespace
}  // namespace qv
