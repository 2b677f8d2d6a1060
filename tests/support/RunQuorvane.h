#pragma once
// Runs the quorvane binary as a script would and collects what it said.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>
#include <string>

namespace qv::test {

// A path or any other argument as the command line takes it (file names are UTF-8 to Qt here).
inline QString q(const std::string& s) { return QString::fromStdString(s); }

struct CommandResult {
    int exitCode = -1;   // -1 when it crashed or hung
    QByteArray out, err;
};

// Settings live under `configHome` (XDG_CONFIG_HOME); a fresh empty folder when none is given.
// A run still going after `timeoutMs` is killed (exit code -1). With a
// `wrapper` (a program and its first arguments), that program runs with the
// quorvane binary and `args` after them.
CommandResult runQuorvane(const QStringList& args, const QString& configHome = {}, int timeoutMs = 60000,
                          const QStringList& wrapper = {});

// Runs quorvane in a mount namespace of its own after `mounts` (shell
// commands) ran there; nullopt when this machine gives no such namespace.
std::optional<CommandResult> runQuorvaneWithMounts(const QString& mounts, const QStringList& args);

}  // namespace qv::test
