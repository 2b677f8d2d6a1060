#include "scripting/ScriptingClient.h"

#include "scripting/BusNames.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDBusVariant>
#include <QDeadlineTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QThread>

namespace qv {
namespace {

constexpr const char* kService = "org.quorvane.Quorvane";

QString capitalised(const QString& command) { return command.left(1).toUpper() + command.mid(1); }

// The session bus, with the types Qt's bus thread uses registered before it
// is first reached. After a call that failed, that thread hands the error
// and the call (QDBusError, QDBusMessage) to this one as a queued signal, a
// moment after the caller has its answer. A client that then ends at once
// would tear the table of registered types down under the bus thread
// ("Trying to construct an instance of an invalid type") when the table was
// made after the bus: made first, it goes last.
QDBusConnection sessionBus() {
    static const bool registered = [] {
        qRegisterMetaType<QDBusError>();
        qRegisterMetaType<QDBusMessage>();
        // The answer about Comparisons holds a list of object paths.
        qDBusRegisterMetaType<QList<QDBusObjectPath>>();
        return true;
    }();
    Q_UNUSED(registered);
    return QDBusConnection::sessionBus();
}

// The bus's own answer when the name has no owner, or when its owner has not
// set up the scripting interface yet.
bool nobodyAnswered(const QDBusMessage& reply) {
    // What the bus says to a call that may not start the service.
    if (reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner")) return true;
    switch (QDBusError(reply).type()) {
    case QDBusError::ServiceUnknown:
    case QDBusError::UnknownObject:
    case QDBusError::UnknownInterface:
    case QDBusError::UnknownMethod:
        return true;
    default:
        return false;
    }
}

}  // namespace

bool ScriptingClient::applicationRunning() {
    QDBusConnection bus = sessionBus();
    if (!bus.isConnected()) return false;
    const QDBusReply<bool> owned = bus.interface()->isServiceRegistered(QString::fromLatin1(kService));
    return owned.isValid() && owned.value();
}

bool ScriptingClient::scriptingReady(int ms) {
    QDBusConnection bus = sessionBus();
    if (!bus.isConnected()) return false;
    const QDeadlineTimer deadline(ms);
    for (;;) {
        QDBusMessage get = QDBusMessage::createMethodCall(QString::fromLatin1(kService), QString::fromLatin1(bus::kApplicationPath),
                                                          QStringLiteral("org.freedesktop.DBus.Properties"),
                                                          QStringLiteral("Get"));
        get << QString::fromLatin1(bus::kScriptingInterface) << QStringLiteral("Comparisons");
        if (bus.call(get, QDBus::Block, 5000).type() == QDBusMessage::ReplyMessage) return true;
        if (deadline.hasExpired()) return false;
        QThread::msleep(20);
    }
}

QString ScriptingClient::startApplication(const QString& program) {
    if (!sessionBus().isConnected()) return QStringLiteral("no session bus");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (env.value(QStringLiteral("DISPLAY")).isEmpty() && env.value(QStringLiteral("WAYLAND_DISPLAY")).isEmpty() &&
        !env.contains(QStringLiteral("QT_QPA_PLATFORM")))
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    QProcess process;
    process.setProgram(program);
    process.setArguments({QStringLiteral("--script-server")});
    process.setProcessEnvironment(env);
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    // The server outlives this client: holding its caller's stderr open
    // would keep `quorvane script … 2>&1 | …` waiting until the server ends.
    process.setStandardErrorFile(QProcess::nullDevice());
    qint64 pid = 0;
    if (!process.startDetached(&pid)) return QStringLiteral("cannot start %1").arg(program);
    const QDeadlineTimer deadline(kStartTimeoutMs);
    while (!deadline.hasExpired()) {
        if (applicationRunning() && scriptingReady(int(deadline.remainingTime()))) return {};
        QThread::msleep(20);
    }
    return QStringLiteral("%1 did not take its name on the session bus").arg(program);
}

ScriptOutcome ScriptingClient::call(const QString& command, const QVariantMap& parameters) {
    ScriptOutcome out;
    if (!sessionBus().isConnected()) {
        out.reached = false;
        return out;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(QString::fromLatin1(kService), QString::fromLatin1(bus::kApplicationPath),
                                                       QString::fromLatin1(bus::kScriptingInterface), capitalised(command));
    call << parameters;
    // Nothing on the bus may start in the application's place.
    call.setAutoStartService(false);
    const QDBusMessage reply = sessionBus().call(call, QDBus::Block, kReplyTimeoutMs);
    if (reply.type() == QDBusMessage::ErrorMessage && nobodyAnswered(reply)) {
        out.reached = false;
        return out;
    }
    if (reply.type() == QDBusMessage::ErrorMessage) {
        const int number = bus::errorNumber(reply.errorName());
        // A failure of the bus itself (no reply, no such method) has no number of ours.
        out.error = {number != 0 ? number : -1, number != 0 ? reply.errorMessage()
                                                            : reply.errorName() + QStringLiteral(": ") + reply.errorMessage()};
        return out;
    }
    const QVariant first = reply.arguments().value(0);
    if (first.canConvert<QDBusObjectPath>() && first.typeId() == qMetaTypeId<QDBusObjectPath>())
        out.comparison = int(bus::comparisonOfPath(first.value<QDBusObjectPath>().path()));
    else if (first.typeId() == QMetaType::Bool)
        out.success = first.toBool();
    if (out.comparison == 0) out.comparison = int(parameters.value(QStringLiteral("Comparison")).toLongLong());
    if (out.comparison > 0) readComparison(out.comparison, out);
    return out;
}

void ScriptingClient::readComparison(int comparison, ScriptOutcome& outcome) {
    QDBusMessage get = QDBusMessage::createMethodCall(QString::fromLatin1(kService), bus::comparisonPath(comparison),
                                                      QStringLiteral("org.freedesktop.DBus.Properties"),
                                                      QStringLiteral("GetAll"));
    get << QString::fromLatin1(bus::kComparisonInterface);
    const QDBusMessage reply = sessionBus().call(get, QDBus::Block, 10000);
    if (reply.type() != QDBusMessage::ReplyMessage) return;
    const QVariantMap p = qdbus_cast<QVariantMap>(reply.arguments().value(0));
    outcome.differences = p.value(QStringLiteral("Differences")).toULongLong();
    outcome.actions = p.value(QStringLiteral("Actions")).toULongLong();
    outcome.errorLines = p.value(QStringLiteral("Errors")).toStringList();
    outcome.state = p.value(QStringLiteral("State")).toString();
}

namespace {
const ScriptingClientCalls kCalls{&ScriptingClient::applicationRunning, &ScriptingClient::scriptingReady,
                                  &ScriptingClient::startApplication, &ScriptingClient::call};
}  // namespace

}  // namespace qv

extern "C" Q_DECL_EXPORT const qv::ScriptingClientCalls* qv_scripting_client_calls() { return &qv::kCalls; }
