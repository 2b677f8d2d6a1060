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

std::optional<CommandResult> runQuorvaneWithMounts(const QString& mounts, const QStringList& args) {
    QProcess probe;
    probe.start(QStringLiteral("unshare"), {QStringLiteral("-m"), QStringLiteral("true")});
    if (!probe.waitForFinished(10000) || probe.exitStatus() != QProcess::NormalExit || probe.exitCode() != 0)
        return std::nullopt;
    return runQuorvane(args, {}, 60000,
                       {QStringLiteral("unshare"), QStringLiteral("-m"), QStringLiteral("sh"), QStringLiteral("-c"),
                        mounts + QStringLiteral(" && exec \"$0\" \"$@\"")});
}

}  // namespace qv::test
