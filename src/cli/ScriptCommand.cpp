#include "cli/ScriptCommand.h"

#include "base/Messages.h"
#include "base/Settings.h"
#include "cli/CliOutput.h"
#include "cli/CommandLine.h"
#include "cli/ScriptingModule.h"
#include "cli/SiblingProgram.h"
#include "platform/JsonString.h"
#include "scripting/HeadlessComparisons.h"
#include "scripting/KQuorvaneASCommand.h"
#include "scripting/KQuorvaneScripting.h"
#include "scripting/ScriptableComparison.h"
#include "scripting/ScriptingClient.h"

#include <QEventLoop>
#include <QFile>

#include <climits>
#include <cstdio>
#include <memory>
#include <unistd.h>

namespace qv {
namespace {

struct ScriptOptions {
    std::string command;
    std::vector<std::string> parameters;
    bool json = false;
    bool headless = false;
};

// Text after "=" as the key's kind of value: "true"/"false" for the yes/no
// keys, a number for "Comparison", a path made absolute, a code as it is.
// A value that does not fit is passed on as text, for the command to refuse
// with its own error.
QVariant valueFor(const QString& key, const std::string& text) {
    ScriptValueKind kind = ScriptValueKind::Enumerator;
    bool known = false;
    for (ScriptCommandKind c : {ScriptCommandKind::Compare, ScriptCommandKind::Sync, ScriptCommandKind::Execute})
        if (scriptKeyKind(c, key, kind)) {
            known = true;
            break;
        }
    const QString value = QString::fromStdString(text);
    if (!known) return value;
    switch (kind) {
    case ScriptValueKind::Bool: {
        const QString v = value.toLower();
        if (v == QLatin1String("true") || v == QLatin1String("yes") || v == QLatin1String("1")) return true;
        if (v == QLatin1String("false") || v == QLatin1String("no") || v == QLatin1String("0")) return false;
        return value;
    }
    case ScriptValueKind::Comparison: {
        bool ok = false;
        const qlonglong n = value.toLongLong(&ok);
        return ok ? QVariant(n) : QVariant(value);
    }
    case ScriptValueKind::Path: {
        // Bytes: a name that is not UTF-8 is refused by the command, not garbled here.
        QByteArray bytes = QByteArray::fromStdString(text);
        if (!bytes.startsWith('/') && !bytes.isEmpty()) {
            char cwd[PATH_MAX];
            if (::getcwd(cwd, sizeof cwd)) bytes = QByteArray(cwd) + '/' + bytes;
        }
        return bytes;
    }
    case ScriptValueKind::Enumerator:
        return value;
    }
    return value;
}

void print(const ScriptOutcome& o, bool json) {
    if (json) {
        std::string out = "{\"Comparison\":" + std::to_string(o.comparison) +
                          ",\"Differences\":" + std::to_string(o.differences) +
                          ",\"Actions\":" + std::to_string(o.actions) +
                          ",\"Errors\":" + std::to_string(o.errorLines.size()) + ",\"ErrorLines\":[";
        for (qsizetype i = 0; i < o.errorLines.size(); ++i) {
            if (i) out += ',';
            platform::appendJsonString(out, o.errorLines[i].toStdString());
        }
        out += "],\"State\":";
        platform::appendJsonString(out, o.state.toStdString());
        if (o.success) out += std::string(",\"Success\":") + (*o.success ? "true" : "false");
        out += "}";
        std::printf("%s\n", out.c_str());
        return;
    }
    if (o.comparison <= 0) return;
    std::printf("%s\n", qPrintable(Messages::format("cliScriptComparison", QString::number(o.comparison),
                                                    Messages::plural("cliDifferences", o.differences),
                                                    Messages::plural("cliActions", o.actions),
                                                    Messages::plural("cliErrors", qint64(o.errorLines.size())))));
    for (const QString& line : o.errorLines) std::printf("%s\n", qPrintable(line));
}

// The command in this process, over comparisons that live as long as it does.
ScriptOutcome runHere(const QString& command, const QVariantMap& parameters) {
    HeadlessComparisons host(Settings::instance());
    host.setCloseDelay(0);
    KQuorvaneScripting scripting(host);
    std::unique_ptr<KQuorvaneScriptCommand> cmd = makeScriptCommand(command, scripting, Settings::instance(), parameters);
    ScriptOutcome out;
    bool answered = false;
    QEventLoop loop;
    cmd->perform([&](const ScriptResult& r) {
        out.error = r.error;
        out.comparison = r.comparison;
        out.success = r.success;
        answered = true;
        loop.quit();
    });
    if (!answered) loop.exec();
    if (out.comparison == 0) out.comparison = int(parameters.value(QStringLiteral("Comparison")).toLongLong());
    if (ScriptableComparison* c = host.comparison(out.comparison)) {
        out.differences = c->Differences();
        out.actions = c->Actions();
        out.errorLines = c->Errors();
        out.state = c->runState();
    }
    return out;
}

int runScript(const ScriptOptions& o) {
    const QString command = QString::fromStdString(o.command);
    if (command != QLatin1String("compare") && command != QLatin1String("sync") &&
        command != QLatin1String("execute") && command != QLatin1String("close"))
        return failLine(Messages::format("cliScriptUnknownCommand", command));
    QVariantMap parameters;
    for (const std::string& p : o.parameters) {
        const std::size_t eq = p.find('=');
        if (eq == std::string::npos || eq == 0) return failLine(Messages::format("cliScriptNotKeyValue", QString::fromStdString(p)));
        const QString key = QString::fromStdString(p.substr(0, eq));
        parameters.insert(key, valueFor(key, p.substr(eq + 1)));
    }
    ScriptOutcome outcome;
    if (o.headless) {
        outcome = runHere(command, parameters);
    } else {
        QString loadError;
        const ScriptingClientCalls* client = loadScriptingClient(scriptingModulePath(), loadError);
        if (!client) return failLine(Messages::format("cliScriptNoApplication", loadError));
        // Sent at once: asking first whether the application runs and answers costs two round trips each time.
        outcome = client->call(command, parameters);
        if (!outcome.reached) {
            if (!client->applicationRunning()) {
                if (const QString why = client->startApplication(QFile::decodeName(programBeside("quorvane-gui").c_str())); !why.isEmpty())
                    return failLine(Messages::format("cliScriptNoApplication", why));
            } else {
                // One that is starting up answers scripts a moment after it took its name.
                client->scriptingReady(ScriptingClient::kStartTimeoutMs);
            }
            outcome = client->call(command, parameters);
        }
    }
    if (outcome.error) {
        std::fprintf(stderr, "error %d: %s\n", outcome.error.number, qPrintable(outcome.error.text));
        return 1;
    }
    print(outcome, o.json);
    if (outcome.success && !*outcome.success) {
        if (!o.json) printError(Messages::text("cliScriptExecuted"));
        return 1;
    }
    return 0;
}

}  // namespace

void addScriptCommand(CommandLine& cli, QCoreApplication&) {
    auto o = std::make_shared<ScriptOptions>();
    CLI::App* command = cli.addCommand(cli.root(), "script", "cliCmdScript", "cliExampleScript", [o] { return runScript(*o); });
    described(command->add_option("COMMAND", o->command), "cliArgScriptCommand")->required()->type_name("");
    described(command->add_option("PARAMETERS", o->parameters), "cliArgScriptParameters")->type_name("KEY=VALUE");
    described(command->add_flag("--json", o->json), "cliOptScriptJson");
    described(command->add_flag("--headless", o->headless), "cliOptScriptHeadless");
}

}  // namespace qv
