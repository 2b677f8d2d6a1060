// quorvane-gui: the comparison windows. `quorvane gui [LEFT RIGHT] [--start]`
// runs this program; the command line itself never loads the widgets.

#include "base/Messages.h"
#include "base/Settings.h"
#include "ui/ComparisonWindow.h"
#include "ui/UpdateAssistant.h"

#include <QApplication>
#include <QIcon>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

void openWindow(qv::Settings& settings, qv::UpdateAssistant& updates, const std::string& left, const std::string& right,
                bool start) {
    auto* window = new qv::ComparisonWindow(settings);
    window->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(window, &qv::ComparisonWindow::openPairRequested, window,
                     [&settings, &updates](const std::string& l, const std::string& r) {
                         openWindow(settings, updates, l, r, true);
                     });
    QObject::connect(window, &qv::ComparisonWindow::checkForUpdatesRequested, window,
                     [&updates, window] { updates.CheckForUpgradeWithProgress(window); });
    window->setPaths(left, right);
    window->show();
    if (start) window->compare();
}

}  // namespace

int main(int argc, char** argv) {
    // Paths stay bytes: a name that is not valid UTF-8 must reach the file system intact.
    std::vector<std::string> paths;
    bool start = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--start") == 0) start = true;
        else if (std::strcmp(argv[i], "--") != 0) paths.emplace_back(argv[i]);
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorvane"));
    QApplication::setOrganizationName(QStringLiteral("Quorvane"));
    QApplication::setApplicationVersion(QStringLiteral(QUORVANE_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("quorvane"));
    // Without a desktop session no icon theme is set; a common one still gives icons.
    if (QIcon::themeName().isEmpty() || QIcon::themeName() == QLatin1String("hicolor"))
        QIcon::setThemeName(QStringLiteral("Adwaita"));
    if (paths.size() != 0 && paths.size() != 2) {
        std::fprintf(stderr, "quorvane: %s\n", qPrintable(qv::Messages::text("guiUsage")));
        return 2;
    }
    qv::UpdateAssistant updates(qv::Settings::instance());
    openWindow(qv::Settings::instance(), updates, paths.empty() ? std::string() : paths[0],
               paths.empty() ? std::string() : paths[1], start && !paths.empty());
    updates.scheduleAutomaticCheck();
    return app.exec();
}
