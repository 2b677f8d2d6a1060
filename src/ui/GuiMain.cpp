// quorvane-gui: the comparison windows. `quorvane gui [PATHS…] [--start]`
// runs this program, and so does the desktop entry (with file URLs). One
// process serves a whole session: a later start hands its paths over the
// session bus and ends.

#include "base/Settings.h"
#include "ui/ApplicationDelegate.h"
#include "ui/InstanceBus.h"
#include "ui/UpdateAssistant.h"

#include <QApplication>
#include <QIcon>

#include <climits>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// A "file:" URL (what a desktop entry's %U hands over) as the path it names,
// percent-escapes decoded to bytes; anything else is taken as a path.
std::string pathOfArgument(const char* arg) {
    QByteArray a(arg);
    if (a.startsWith("file://")) {
        a = a.mid(7);
        if (a.startsWith("localhost/")) a = a.mid(9);
        if (a.startsWith('/')) return QByteArray::fromPercentEncoding(a).toStdString();
    }
    return a.toStdString();
}

// Absolute, so that the running instance (with its own working folder) finds the same entry.
std::string absolute(const std::string& path) {
    if (path.empty() || path.front() == '/') return path;
    char cwd[PATH_MAX];
    if (!::getcwd(cwd, sizeof cwd)) return path;
    return std::string(cwd) + "/" + path;
}

}  // namespace

int main(int argc, char** argv) {
    // Paths stay bytes: a name that is not valid UTF-8 must reach the file system intact.
    std::vector<std::string> paths;
    bool start = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--start") == 0) start = true;
        else if (std::strcmp(argv[i], "--") != 0) paths.push_back(absolute(pathOfArgument(argv[i])));
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorvane"));
    QApplication::setOrganizationName(QStringLiteral("Quorvane"));
    QApplication::setApplicationVersion(QStringLiteral(QUORVANE_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("org.quorvane.Quorvane"));

    qv::InstanceBus bus;
    QList<QByteArray> handed;
    for (const std::string& p : paths) handed << QByteArray::fromStdString(p);
    if (bus.claimOrForward(handed, start) == qv::InstanceBus::Role::Forwarded) return 0;

    // Without a desktop session no icon theme is set; a common one still gives icons.
    if (QIcon::themeName().isEmpty() || QIcon::themeName() == QLatin1String("hicolor"))
        QIcon::setThemeName(QStringLiteral("Adwaita"));
    qv::ApplicationDelegate delegate(qv::Settings::instance());
    bus.setComparisonsSource([&delegate] { return delegate.openPairs(); });
    QObject::connect(&bus, &qv::InstanceBus::openRequested, &delegate, [&delegate](const QList<QByteArray>& list, bool s) {
        std::vector<std::string> more;
        for (const QByteArray& p : list) more.push_back(p.toStdString());
        delegate.openFiles(more, s);
    });
    QObject::connect(&delegate, &qv::ApplicationDelegate::quitting, &app, &QApplication::quit, Qt::QueuedConnection);
    const int restored = delegate.applicationDidFinishLaunching();
    if (!paths.empty() || restored == 0) delegate.openFiles(paths, start);
    qv::UpdateAssistant updates(qv::Settings::instance());
    QObject::connect(&delegate, &qv::ApplicationDelegate::checkForUpdatesRequested, &updates,
                     [&updates](QWidget* window) { updates.CheckForUpgradeWithProgress(window); });
    updates.scheduleAutomaticCheck();
    return app.exec();
}
