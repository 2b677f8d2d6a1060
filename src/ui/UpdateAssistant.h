#pragma once
// The update checks of the window program: the automatic one, silent
// unless it finds a new version, and the one asked for from the menu, with
// a small progress window and an answer whatever the outcome.

#include "ui/UpdateWindow.h"

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QProgressDialog>

#include <functional>
#include <memory>

class QWidget;

namespace qv {

class Settings;

namespace update {
class KUpgradeDownloader;
}

class UpdateAssistant final : public QObject {
    Q_OBJECT
public:
    using Clock = std::function<QDateTime()>;

    explicit UpdateAssistant(Settings& settings, Clock clock = {}, QObject* parent = nullptr);
    ~UpdateAssistant() override;

    // One second after the first window opens, the check that runs by itself.
    void scheduleAutomaticCheck();

    // A check without a window when one is due; whether it started.
    bool CheckForUpgrade();
    // A check asked for by the user, with its progress window over `window`.
    void CheckForUpgradeWithProgress(QWidget* window);

    QProgressDialog* progressWindow() const { return m_progress; }
    UpdateWindow* updateWindow() const { return m_window; }

signals:
    // A check ended, whatever its outcome, after its answer was shown.
    void checkEnded();

private:
    bool startCheck(QWidget* window, bool userAsked);
    void onCheckFinished();

    Settings& m_settings;
    Clock m_clock;
    std::unique_ptr<update::KUpgradeDownloader> m_downloader;
    QPointer<QWidget> m_parent;
    QPointer<QProgressDialog> m_progress;
    QPointer<UpdateWindow> m_window;
    bool m_userAsked = false;
};

}  // namespace qv
