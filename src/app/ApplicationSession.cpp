#include "app/ApplicationSession.h"

#include "app/history/FolderHistory.h"
#include "base/KappHelpQVF.h"
#include "base/Settings.h"
#include "platform/TemporaryCleanup.h"

#include <QDir>
#include <QFile>
#include <QThreadPool>

namespace qv {

ApplicationSession::ApplicationSession(Settings& settings) : m_settings(settings) {}

void ApplicationSession::launch(bool windowsRestored) {
    // A folder that cannot be made shows later, where something is to be kept in it.
    KappHelpQVF::ApplicationSupportDirectory();

    const bool persistent = !windowsRestored || m_settings.boolValue(QStringLiteral("savePaths"));
    m_folderList = persistent ? QStringLiteral("lastFolders") : QString();
    m_fileList = persistent ? QStringLiteral("lastFiles") : QString();
    // Loading and storing at once moves a list kept in the older form to the current one.
    for (const QString& name : {m_folderList, m_fileList}) {
        if (name.isEmpty()) continue;
        KLastFolders list(m_settings, name);
        list.store();
    }

    const std::string temporary = QFile::encodeName(QDir::tempPath()).toStdString();
    QThreadPool::globalInstance()->start([temporary] { EmptyTmpFolder(temporary); });
}

void ApplicationSession::quit() {
    if (m_settings.boolValue(QStringLiteral("savePaths"))) return;
    for (bool folders : {true, false}) FolderHistory(m_settings, folders).ClearFolderHistory();
    // Read afresh: the windows have stored what they added since the launch.
    for (const QString& name : {QStringLiteral("lastFolders"), QStringLiteral("lastFiles")}) {
        KLastFolders list(m_settings, name);
        list.ClearHistory();
        list.store();
    }
}

int ApplicationSession::EmptyTmpFolder(const std::string& folder) {
    return platform::trashOwnTemporaries(folder);
}

}  // namespace qv
