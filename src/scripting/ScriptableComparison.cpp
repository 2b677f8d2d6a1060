#include "scripting/ScriptableComparison.h"

#include "app/FileComparisonSession.h"
#include "app/QuorvaneModule.h"
#include "engine/FolderSizePass.h"
#include "sync/MergeList.h"

#include <QFile>
#include <QTimer>

#include <memory>
#include <sys/stat.h>

namespace qv {
namespace {

bool isFolder(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// A request that must be answered exactly once: if nobody answers it before
// it goes (its controller went first), it answers NO itself.
struct PendingAnswer {
    PendingAnswer() = default;
    PendingAnswer(const PendingAnswer&) = delete;
    PendingAnswer& operator=(const PendingAnswer&) = delete;
    ScriptableComparison::Completion done;
    void answer(bool ok) {
        if (auto d = std::exchange(done, nullptr)) d(ok);
    }
    ~PendingAnswer() { answer(false); }
};

// The run itself, on a controller with no run going.
void startCompare(QuorvaneModule& m, const std::string& item1, const std::string& item2, bool folders,
                  ScriptableComparison& comparison, ScriptableComparison::Completion done) {
    if (folders) {
        m.state().leftPath = item1;
        m.state().rightPath = item2;
        m.state().selectedTab = WindowState::FolderTab;
        emit m.pathsChanged();
        // The options a script stores are the application's: the next run uses them.
        m.state().loadOptions(m.settings());
        if (m.CheckComparedFolders(true) && m.Compare(true) && m.ComparingFolders()) {
            comparison.setRunState(QStringLiteral("comparing"));
            m.setICompareCompletionHandler(std::move(done));
            return;
        }
    } else {
        m.state().selectedTab = WindowState::FileTab;
        m.fileComparison().setPaths(QFile::decodeName(item1.c_str()), QFile::decodeName(item2.c_str()));
        if (m.fileComparison().CompareFiles() && m.fileComparison().running()) {
            comparison.setRunState(QStringLiteral("comparing"));
            m.setICompareCompletionHandler(std::move(done));
            return;
        }
    }
    comparison.selectTab(WindowState::FolderTab);
    comparison.setRunState(QStringLiteral("failed"));
    m.setICompareCompletionHandler(nullptr);   // a request still waiting hears NO as well
    done(false);
}

}  // namespace

int ScriptableComparison::takeUniqueASID() {
    static int counter = 0;
    return ++counter;
}

void ScriptableComparison::setIShowUI(bool show) {
    m_showUI = show;
    applyShowUI(show);
}

void ScriptableComparison::closeFromScript() {
    if (m_closing) return;
    m_closing = true;
    CloseAnyOpenAlerts();
    hideAndCloseLater();
}

void ScriptableComparison::CompareItem1(const std::string& item1, const std::string& item2, Completion done) {
    QuorvaneModule* m = controller();
    if (!m) {
        done(false);
        return;
    }
    const bool folders = isFolder(item1) || isFolder(item2);
    if (!m->ComparingFolders() && !m->fileComparison().running() && !m->executing()) {
        startCompare(*m, item1, item2, folders, *this, std::move(done));
        return;
    }
    // A run is going: its waiting request hears NO now, the run is stopped,
    // and the new one starts once it has ended.
    m->setICompareCompletionHandler(nullptr);
    auto pending = std::make_shared<PendingAnswer>();
    pending->done = std::move(done);
    auto connection = std::make_shared<QMetaObject::Connection>();
    const auto resume = [this, m, pending, connection, item1, item2, folders] {
        QObject::disconnect(*connection);
        QTimer::singleShot(0, m, [this, m, pending, item1, item2, folders] {
            if (m->ComparingFolders() || m->fileComparison().running() || m->executing()) {
                pending->answer(false);
                return;
            }
            startCompare(*m, item1, item2, folders, *this, std::exchange(pending->done, nullptr));
        });
    };
    if (m->ComparingFolders()) {
        *connection = QObject::connect(m, &QuorvaneModule::compareThreadFinished, m, resume);
        m->Cancel();
    } else if (m->fileComparison().running()) {
        *connection = QObject::connect(&m->fileComparison(), &FileComparisonSession::comparisonFinished, m, resume);
        m->fileComparison().Cancel();
    } else {
        // An execution is not stopped half-way for a comparison.
        pending->answer(false);
    }
}

std::uint64_t ScriptableComparison::Differences() const {
    QuorvaneModule* m = controller();
    if (!m) return 0;
    if (m->state().selectedTab == WindowState::FileTab)
        return m->fileComparison().changeCount();
    return m->iRootItem() && !m->ComparingFolders() ? NumberOfDifferences(*m->iRootItem()) : 0;
}

std::uint64_t ScriptableComparison::Actions() const {
    QuorvaneModule* m = controller();
    return m ? m->mergeList().NumberOfActions() : 0;
}

QStringList ScriptableComparison::Errors() const {
    QuorvaneModule* m = controller();
    return m ? m->ASErrors() : QStringList();
}

QString ScriptableComparison::runState() const {
    QuorvaneModule* m = controller();
    if (m && m->executing()) return QStringLiteral("executing");
    return m_runState;
}

std::string ScriptableComparison::leftPath() const {
    QuorvaneModule* m = controller();
    return m ? m->state().leftPath : std::string();
}

std::string ScriptableComparison::rightPath() const {
    QuorvaneModule* m = controller();
    return m ? m->state().rightPath : std::string();
}

}  // namespace qv
