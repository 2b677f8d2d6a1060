#include "ui/UpdateAssistant.h"
#include "ui/UpdateWindow.h"
#include "support/LoopbackHttpServer.h"
#include "support/ScopedEnv.h"
#include "support/TestSettings.h"
#include "ui/DialogDriver.h"

#include <QCryptographicHash>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QtTest/QTest>

#include <gtest/gtest.h>

namespace qv {
namespace {

using test::DialogDriver;
using test::HttpAnswer;

QByteArray buildPlus(int delta) {
    return QByteArray::number(QByteArray(QUORVANE_BUILD).toInt() + delta).rightJustified(5, '0');
}

class UpdateWindowTest : public ::testing::Test {
protected:
    test::LoopbackHttpServer server;
    QTemporaryDir dir;
    test::TestSettings settings;
    test::ScopedEnv url{"QV_UPDATE_URL", server.folder().toString().toStdString()};
    test::ScopedEnv install{"QV_INSTALL_DIR", dir.filePath(QStringLiteral("not-a-release")).toStdString()};
    QDateTime now = QDateTime::currentDateTimeUtc();
    UpdateAssistant assistant{settings, [this] { return now; }};

    // The text and the details of the message box in front, after it was dismissed.
    QString answerBox(const std::function<void()>& provoke, QString* details = nullptr) {
        QString text;
        DialogDriver driver;
        driver.then([&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            if (!box) return false;
            text = box->text();
            if (details) *details = box->informativeText();
            return DialogDriver::clickButton(box, box->buttons().first()->text());
        });
        QSignalSpy ended(&assistant, &UpdateAssistant::checkEnded);
        provoke();
        EXPECT_TRUE(ended.wait(20000));
        EXPECT_TRUE(driver.done());
        return text;
    }
};

TEST_F(UpdateWindowTest, ACheckAskedForAnswersWhenThereIsNothingNewAndWhenItFails) {
    server.serve(QStringLiteral("update.ver"), QByteArray(QUORVANE_BUILD) + ":a.tar.xz\n");
    QString details;
    const QString upToDate = answerBox([&] {
        assistant.CheckForUpgradeWithProgress(nullptr);
        ASSERT_NE(assistant.progressWindow(), nullptr);
        EXPECT_EQ(assistant.progressWindow()->maximum(), 0);   // indeterminate
    }, &details);
    EXPECT_TRUE(upToDate.contains(QStringLiteral("up to date"))) << upToDate.toStdString();
    EXPECT_FALSE(details.isEmpty());
    EXPECT_TRUE(settings.isStored(QStringLiteral("CFUdate")));
    EXPECT_TRUE(QTest::qWaitFor([&] { return assistant.progressWindow() == nullptr; }, 5000));

    server.serve(QStringLiteral("update.ver"), HttpAnswer{500, "down"});
    const QString failed = answerBox([&] { assistant.CheckForUpgradeWithProgress(nullptr); }, &details);
    EXPECT_FALSE(failed.isEmpty());
    EXPECT_TRUE(details.contains(QStringLiteral("500"))) << details.toStdString();
}

TEST_F(UpdateWindowTest, TheAutomaticCheckRunsEveryFortyEightHoursAndFailsSilently) {
    settings.store(QStringLiteral("CFUdate"), now.addSecs(-47 * 3600).toString(Qt::ISODate));
    EXPECT_FALSE(assistant.CheckForUpgrade());
    EXPECT_EQ(server.requests(QStringLiteral("update.ver")), 0);

    server.serve(QStringLiteral("update.ver"), HttpAnswer{500, "down"});
    now = now.addSecs(3600);
    QSignalSpy ended(&assistant, &UpdateAssistant::checkEnded);
    EXPECT_TRUE(assistant.CheckForUpgrade());
    ASSERT_TRUE(ended.wait(20000));
    EXPECT_EQ(server.requests(QStringLiteral("update.ver")), 1);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_EQ(assistant.updateWindow(), nullptr);

    settings.store(QStringLiteral("autoCheckForUpdate"), false);
    now = now.addSecs(100 * 3600);
    EXPECT_FALSE(assistant.CheckForUpgrade());
}

TEST_F(UpdateWindowTest, ANewVersionOpensTheUpdateWindowWithItsNotes) {
    server.serve(QStringLiteral("update.ver"), buildPlus(1) + ":a.tar.xz:10:" + QByteArray(64, 'a') + '\n');
    server.serve(QStringLiteral("englishNews.md"), "# Faster\n\n- *much* faster\n");
    QSignalSpy ended(&assistant, &UpdateAssistant::checkEnded);
    EXPECT_TRUE(assistant.CheckForUpgrade());
    ASSERT_TRUE(ended.wait(20000));
    UpdateWindow* window = assistant.updateWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->notesView().toPlainText().contains(QStringLiteral("much faster")));
    EXPECT_FALSE(window->notesView().toPlainText().contains(QLatin1Char('#')));
    // The folder named for the install holds no release: the offer stands, installing does not.
    EXPECT_FALSE(window->installButton().isEnabled());
    EXPECT_FALSE(window->statusLabel().text().isEmpty());
    window->close();
}

TEST_F(UpdateWindowTest, TheDownloadShowsItsProgressAndAbortEndsIt) {
    const QByteArray archive(400000, 'z');
    server.serve(QStringLiteral("update.ver"), buildPlus(1) + ":a.tar.xz:" + QByteArray::number(archive.size()) + ':' +
                                                   QCryptographicHash::hash(archive, QCryptographicHash::Sha256).toHex());
    server.serve(QStringLiteral("a.tar.xz"), archive);
    QSignalSpy ended(&assistant, &UpdateAssistant::checkEnded);
    assistant.CheckForUpgrade();
    ASSERT_TRUE(ended.wait(20000));
    UpdateWindow* window = assistant.updateWindow();
    ASSERT_NE(window, nullptr);

    bool sawProgress = false;
    QObject::connect(&window->progressBar(), &QProgressBar::valueChanged, window, [&](int value) {
        if (value <= 0 || sawProgress) return;
        sawProgress = true;
        EXPECT_TRUE(window->abortButton().isVisible());
        EXPECT_TRUE(window->statusLabel().text().contains(QStringLiteral(" of "))) << window->statusLabel().text().toStdString();
        window->abortButton().click();
    });
    QString text;
    DialogDriver driver;
    driver.then([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (!box) return false;
        text = box->informativeText();
        return DialogDriver::clickButton(box, box->buttons().first()->text());
    });
    window->downloadInto(dir.path());
    ASSERT_TRUE(QTest::qWaitFor([&] { return driver.done(); }, 20000));
    EXPECT_TRUE(sawProgress);
    EXPECT_FALSE(text.isEmpty());
    EXPECT_FALSE(window->abortButton().isVisible());
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("a.tar.xz"))));
    window->close();
}

}  // namespace
}  // namespace qv
