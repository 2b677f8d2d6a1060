#include "cli/ScriptingModule.h"

#include "cli/SiblingProgram.h"

#include <QFile>

#include <dlfcn.h>

namespace qv {

QString scriptingModulePath() { return QFile::decodeName(programBeside("../lib/quorvane/libquorvane-bus.so").c_str()); }

const ScriptingClientCalls* loadScriptingClient(const QString& path, QString& why) {
    // Never closed: the bus's own thread runs the module's code to the process's end.
    void* module = ::dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        why = QString::fromLocal8Bit(::dlerror());
        return nullptr;
    }
    using Entry = const ScriptingClientCalls* (*)();
    const auto entry = reinterpret_cast<Entry>(::dlsym(module, kScriptingClientEntry));
    if (!entry) {
        why = QStringLiteral("%1 has no %2").arg(path, QLatin1String(kScriptingClientEntry));
        return nullptr;
    }
    return entry();
}

}  // namespace qv
