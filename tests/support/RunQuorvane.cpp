#include "support/RunQuorvane.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

namespace qv::test {

CommandResult runQuorvane(const QStringList& args, const QString& configHome, int timeoutMs, const QStringList& wrapper) {
    QTemporaryDir fresh;
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome.isEmpty() ? fresh.path() : configHome);
    p.setProcessEnvironment(env);
    if (wrapper.isEmpty()) p.start(QStringLiteral(QUORVANE_BIN), args);
    else p.start(wrapper.first(), wrapper.mid(1) + QStringList{QStringLiteral(QUORVANE_BIN)} + args);
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
    }
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
            p.readAllStandardError()};
}

}  // namespace qv::test
