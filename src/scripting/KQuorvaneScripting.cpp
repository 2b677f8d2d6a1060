#include "scripting/KQuorvaneScripting.h"

#include "app/QuorvaneModule.h"
#include "scripting/ScriptArguments.h"
#include "scripting/ScriptableComparison.h"
#include "scripting/ScriptingHost.h"
#include "sync/MirrorPlanner.h"

#include <QPointer>

#include <sys/stat.h>

namespace qv {
namespace {

bool isRegularFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// Sets the state a comparison shows once its work has ended, if it is still open.
void finish(ScriptingHost& host, int id, const char* state) {
    if (ScriptableComparison* c = host.comparison(id)) {
        c->setRunState(QString::fromLatin1(state));
        emit host.comparisonChanged(id);
    }
}

}  // namespace

void KQuorvaneScripting::OpenComparisonWithLeftPath(const std::string& left, const std::string& right, bool showUI,
                                                    ComparisonBlock completionHandler) {
    ScriptableComparison* c = m_host.newComparison(showUI);
    if (!c) {
        completionHandler(0, script_errors::foldersNotCompared());
        return;
    }
    c->setIShowUI(showUI);
    if (showUI) c->selectTab(isRegularFile(left) ? 1 : 0);
    const int id = c->iUniqueASID();
    QPointer<ScriptingHost> host(&m_host);
    c->CompareItem1(left, right, [host, id, completionHandler](bool ok) {
        if (host) finish(*host, id, ok ? "compared" : "failed");
        if (ok) {
            completionHandler(id, {});
            return;
        }
        // The caller never learns its number: it must not stay open unseen.
        if (host)
            if (ScriptableComparison* made = host->comparison(id)) made->closeFromScript();
        completionHandler(0, script_errors::foldersNotCompared());
    });
    if (host) emit host->comparisonChanged(id);   // comparing
}

void KQuorvaneScripting::SyncComparison(int comparison, const QString& syncType, const QString& direction,
                                        ComparisonBlock completionHandler) {
    ScriptableComparison* c = m_host.comparison(comparison);
    if (!c || !c->controller()) {
        completionHandler(0, {});
        return;
    }
    int mirror;
    if (direction == QLatin1String(codes::kLeftToRight)) mirror = kMirrorToRight;
    else if (direction == QLatin1String(codes::kRightToLeft)) mirror = kMirrorToLeft;
    else if (syncType == QLatin1String(codes::kUpdate)) mirror = kMirrorBoth;
    else {
        completionHandler(0, script_errors::syncNotValid());
        return;
    }
    const int type = syncType == QLatin1String(codes::kMirror) ? kMirrorSync : kUpdateSync;
    QPointer<ScriptingHost> host(&m_host);
    c->setRunState(QStringLiteral("planning"));
    c->controller()->StartMirrorType(type, mirror, [host, comparison, completionHandler](bool ok) {
        if (host) finish(*host, comparison, ok ? "planned" : "failed");
        if (ok) completionHandler(comparison, {});
        else completionHandler(0, script_errors::foldersNotCompared());
    });
    if (host) emit host->comparisonChanged(comparison);   // planning, or comparing first
}

void KQuorvaneScripting::ExecuteComparison(int comparison, const std::optional<QString>& archive,
                                           SuccessBlock completionHandler) {
    ScriptableComparison* c = m_host.comparison(comparison);
    if (!c || !c->controller()) {
        completionHandler(false, {});
        return;
    }
    QPointer<ScriptingHost> host(&m_host);
    c->controller()->ExecuteWithArchive(archive.value_or(QString()), [host, comparison, completionHandler](bool ok) {
        if (host) finish(*host, comparison, ok ? "executed" : "failed");
        if (ok) completionHandler(true, {});
        else completionHandler(false, script_errors::foldersNotCompared());
    });
    emit m_host.comparisonChanged(comparison);
}

}  // namespace qv
