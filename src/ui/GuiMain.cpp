// quorvane-gui: the comparison windows. `quorvane gui [PATHS…] [--start]`
// runs this program, and so does the desktop entry (with file URLs). One
// process serves a whole session: a later start hands its paths over the
// session bus and ends.

#include "base/Settings.h"
#include "scripting/KQuorvaneScripting.h"
#include "scripting/ScriptingAdaptor.h"
#include "ui/ApplicationDelegate.h"
#include "ui/ApplicationScripting.h"
#include "ui/ComparisonWindow.h"
#include "ui/KQVDocument.h"
#include "ui/InstanceBus.h"
#include "ui/UpdateAssistant.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QIcon>
#include <QTimer>

#include <climits>
#include <malloc.h>
#include <cstring>
#include <memory>
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

// A program started for scripts ends after this long without a comparison.
constexpr int kScriptServerIdleMs = 10 * 60 * 1000;
// How often it looks whether its session bus is still there.
constexpr int kBusCheckMs = 2000;

}  // namespace

int main(int argc, char** argv) {
    // Paths stay bytes: a name that is not valid UTF-8 must reach the file system intact.
    std::vector<std::string> paths;
    bool start = false;
    // Started by `quorvane script` when no application ran: no window of its
    // own, none restored; it serves scripts and ends once it has been idle.
    bool scriptServer = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--start") == 0) start = true;
        else if (std::strcmp(argv[i], "--script-server") == 0) scriptServer = true;
        else if (std::strcmp(argv[i], "--") != 0) paths.push_back(absolute(pathOfArgument(argv[i])));
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorvane"));
    QApplication::setOrganizationName(QStringLiteral("Quorvane"));
    QApplication::setApplicationVersion(QStringLiteral(QUORVANE_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("org.quorvane.Quorvane"));

    // A program started for scripts that finds one running leaves it alone:
    // handing it nothing would open an empty window there.
    if (scriptServer && QDBusConnection::sessionBus().isConnected() &&
        QDBusConnection::sessionBus().interface()->isServiceRegistered(QString::fromLatin1(qv::InstanceBus::kService)))
        return 0;
    qv::InstanceBus bus;
    QList<QByteArray> handed;
    for (const std::string& p : paths) handed << QByteArray::fromStdString(p);
    const qv::InstanceBus::Role role = bus.claimOrForward(handed, start);
    if (role == qv::InstanceBus::Role::Forwarded) return 0;
    // A second start for scripts while one runs has nothing to do.
    if (scriptServer && role != qv::InstanceBus::Role::Primary) return role == qv::InstanceBus::Role::Alone ? 2 : 0;

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
    qv::ApplicationScripting comparisons(delegate);
    qv::KQuorvaneScripting scripting(comparisons);
    std::unique_ptr<qv::ScriptingAdaptor> scriptingBus;
    if (role == qv::InstanceBus::Role::Primary)
        scriptingBus = std::make_unique<qv::ScriptingAdaptor>(&bus, scripting, qv::Settings::instance(),
                                                              QDBusConnection::sessionBus());
    QTimer idle;
    if (scriptServer) {
        // Windows a script shows and closes must not end the program its other comparisons live in.
        QApplication::setQuitOnLastWindowClosed(false);
        idle.setInterval(kScriptServerIdleMs);
        idle.setSingleShot(true);
        QObject::connect(&idle, &QTimer::timeout, &app, [&delegate] {
            if (delegate.documents().empty()) QApplication::quit();
        });
        const auto restartIdle = [&idle, &delegate] {
            if (delegate.documents().empty()) idle.start();
            else idle.stop();
        };
        QObject::connect(&delegate, &qv::ApplicationDelegate::documentAdded, &idle, restartIdle);
        QObject::connect(&delegate, &qv::ApplicationDelegate::documentRemoved, &idle, restartIdle);
        // A window's widgets leave the heap full of holes when they go; a
        // program that opens and closes many for scripts gives them back.
        QObject::connect(&delegate, &qv::ApplicationDelegate::documentRemoved, &idle,
                         [] { QTimer::singleShot(500, [] { ::malloc_trim(0); }); });
        idle.start();
        // Its comparisons can be reached only over the bus: when the session's
        // bus is gone (the session ended), nobody can ever ask for them again.
        auto* busCheck = new QTimer(&app);
        QObject::connect(busCheck, &QTimer::timeout, &app, [] {
            if (!QDBusConnection::sessionBus().isConnected()) QApplication::quit();
        });
        busCheck->start(kBusCheckMs);
        delegate.applicationDidFinishLaunching(false);
    } else {
        const int restored = delegate.applicationDidFinishLaunching();
        if (!paths.empty() || restored == 0) delegate.openFiles(paths, start);
    }
    qv::UpdateAssistant updates(qv::Settings::instance());
    QObject::connect(&delegate, &qv::ApplicationDelegate::checkForUpdatesRequested, &updates,
                     [&updates](QWidget* window) { updates.CheckForUpgradeWithProgress(window); });
    if (!scriptServer) updates.scheduleAutomaticCheck();
    const int status = app.exec();
    scriptingBus.reset();
    return status;
}
