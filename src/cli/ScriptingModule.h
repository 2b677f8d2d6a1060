#pragma once
// Finds the session-bus client that `quorvane script` sends commands to the
// application with. It is a module loaded only then, so that no other
// command loads QtDBus, libdbus, libsystemd and their libraries: about a
// millisecond of every start.

#include "scripting/ScriptingClient.h"

#include <QString>

namespace qv {

// The module's path, in lib/quorvane beside this program's folder.
QString scriptingModulePath();

// The client's calls from the module at `path`, loaded once and kept; null
// with `why` set when it cannot be loaded or is not the client.
const ScriptingClientCalls* loadScriptingClient(const QString& path, QString& why);

}  // namespace qv
