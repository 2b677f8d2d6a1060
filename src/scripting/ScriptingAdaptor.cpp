#include "scripting/ScriptingAdaptor.h"

#include "app/FileComparisonSession.h"
#include "app/QuorvaneModule.h"
#include "scripting/KQuorvaneASCommand.h"
#include "scripting/KQuorvaneScripting.h"
#include "scripting/ScriptableComparison.h"
#include "scripting/ScriptingHost.h"

#include <QDBusMetaType>
#include <QDBusVariant>
#include <QFile>
#include <QPointer>

namespace qv {

// One comparison on the bus. Every property is read from the comparison
// when asked; when values change (a run starts or ends, a plan is made, an
// execution starts or ends, actions are marked in its window) the changed
// ones go out in org.freedesktop.DBus.Properties.PropertiesChanged, so a
// script can wait for them instead of polling.
class ScriptingAdaptor::ComparisonObject final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.quorvane.Quorvane.Comparison")
    Q_PROPERTY(int Id READ id)
    Q_PROPERTY(qulonglong Differences READ differences)
    Q_PROPERTY(qulonglong Actions READ actions)
    Q_PROPERTY(QStringList Errors READ errors)
    Q_PROPERTY(QString State READ state)
    Q_PROPERTY(bool ShowUI READ showUI)
    Q_PROPERTY(QString Left READ left)
    Q_PROPERTY(QString Right READ right)
public:
    ComparisonObject(ScriptingHost& host, int id, QDBusConnection connection)
        : m_host(&host), m_id(id), m_connection(std::move(connection)), m_sent(values()) {
        ScriptableComparison* comparison = c();
        QuorvaneModule* m = comparison ? comparison->controller() : nullptr;
        if (!m) return;
        // What changes the values outside the scripting commands (a window's user).
        for (auto signal : {&QuorvaneModule::runStarted, &QuorvaneModule::sizesCalculated, &QuorvaneModule::actionsChanged})
            connect(m, signal, this, &ComparisonObject::announceChanges);
        connect(&m->fileComparison(), &FileComparisonSession::comparisonFinished, this,
                &ComparisonObject::announceChanges);
    }

    int id() const { return m_id; }
    // Each looks the comparison up once: announcing reads them all after every change.
    qulonglong differences() const {
        const ScriptableComparison* x = c();
        return x ? x->Differences() : 0;
    }
    qulonglong actions() const {
        const ScriptableComparison* x = c();
        return x ? x->Actions() : 0;
    }
    QStringList errors() const {
        const ScriptableComparison* x = c();
        return x ? x->Errors() : QStringList();
    }
    QString state() const {
        const ScriptableComparison* x = c();
        return x ? x->runState() : QStringLiteral("closed");
    }
    bool showUI() const {
        const ScriptableComparison* x = c();
        return x && x->iShowUI();
    }
    QString left() const {
        const ScriptableComparison* x = c();
        return x ? QString::fromStdString(x->leftPath()) : QString();
    }
    QString right() const {
        const ScriptableComparison* x = c();
        return x ? QString::fromStdString(x->rightPath()) : QString();
    }

    // Sends the values that differ from those last sent, if any.
    void announceChanges() {
        const QVariantMap now = values();
        QVariantMap changed;
        for (auto it = now.begin(); it != now.end(); ++it)
            if (m_sent.value(it.key()) != it.value()) changed.insert(it.key(), it.value());
        m_sent = now;
        if (changed.isEmpty()) return;
        QDBusMessage signal = QDBusMessage::createSignal(bus::comparisonPath(m_id), QStringLiteral("org.freedesktop.DBus.Properties"),
                                                         QStringLiteral("PropertiesChanged"));
        signal << QString::fromLatin1(bus::kComparisonInterface) << changed << QStringList();
        m_connection.send(signal);
    }

private:
    ScriptableComparison* c() const { return m_host ? m_host->comparison(m_id) : nullptr; }
    // The values that change (Id never does).
    QVariantMap values() const {
        return {{QStringLiteral("Differences"), differences()}, {QStringLiteral("Actions"), actions()},
                {QStringLiteral("Errors"), errors()},           {QStringLiteral("State"), state()},
                {QStringLiteral("ShowUI"), showUI()},           {QStringLiteral("Left"), left()},
                {QStringLiteral("Right"), right()}};
    }

    QPointer<ScriptingHost> m_host;
    int m_id;
    QDBusConnection m_connection;
    QVariantMap m_sent;
};

ScriptingAdaptor::ScriptingAdaptor(QObject* application, KQuorvaneScripting& scripting, Settings& settings,
                                   QDBusConnection connection)
    : QDBusAbstractAdaptor(application), m_scripting(scripting), m_host(scripting.host()), m_settings(settings),
      m_connection(std::move(connection)) {
    qDBusRegisterMetaType<QList<QDBusObjectPath>>();
    setAutoRelaySignals(false);
    connect(&m_host, &ScriptingHost::comparisonAdded, this, &ScriptingAdaptor::comparisonAdded);
    connect(&m_host, &ScriptingHost::comparisonRemoved, this, &ScriptingAdaptor::comparisonRemoved);
    connect(&m_host, &ScriptingHost::comparisonChanged, this, [this](int uniqueASID) {
        if (const auto it = m_objects.find(uniqueASID); it != m_objects.end()) it->second->announceChanges();
    });
    for (ScriptableComparison* c : m_host.comparisons()) comparisonAdded(c->iUniqueASID());
}

ScriptingAdaptor::~ScriptingAdaptor() {
    for (const auto& [id, object] : m_objects) m_connection.unregisterObject(bus::comparisonPath(id));
}

void ScriptingAdaptor::comparisonAdded(int uniqueASID) {
    auto object = std::make_unique<ComparisonObject>(m_host, uniqueASID, m_connection);
    m_connection.registerObject(bus::comparisonPath(uniqueASID), object.get(), QDBusConnection::ExportAllProperties);
    m_objects[uniqueASID] = std::move(object);
    announceComparisons();
}

void ScriptingAdaptor::comparisonRemoved(int uniqueASID) {
    m_connection.unregisterObject(bus::comparisonPath(uniqueASID));
    m_objects.erase(uniqueASID);
    announceComparisons();
}

void ScriptingAdaptor::announceComparisons() {
    // Named as invalidated, not sent: a list of every open comparison on each
    // open and close would cost more the more a script keeps open.
    QDBusMessage signal = QDBusMessage::createSignal(QString::fromLatin1(bus::kApplicationPath),
                                                     QStringLiteral("org.freedesktop.DBus.Properties"),
                                                     QStringLiteral("PropertiesChanged"));
    signal << QString::fromLatin1(bus::kScriptingInterface) << QVariantMap()
           << QStringList{QStringLiteral("Comparisons")};
    m_connection.send(signal);
}

QList<QDBusObjectPath> ScriptingAdaptor::comparisons() const {
    QList<QDBusObjectPath> out;
    for (ScriptableComparison* c : m_host.comparisons()) out << QDBusObjectPath(bus::comparisonPath(c->iUniqueASID()));
    return out;
}

QDBusObjectPath ScriptingAdaptor::Compare(const QVariantMap& parameters, const QDBusMessage& message) {
    run("compare", parameters, message);
    return {};
}

QDBusObjectPath ScriptingAdaptor::Sync(const QVariantMap& parameters, const QDBusMessage& message) {
    run("sync", parameters, message);
    return {};
}

bool ScriptingAdaptor::Execute(const QVariantMap& parameters, const QDBusMessage& message) {
    run("execute", parameters, message);
    return false;
}

void ScriptingAdaptor::Close(const QVariantMap& parameters, const QDBusMessage& message) {
    run("close", parameters, message);
}

void ScriptingAdaptor::run(const char* command, const QVariantMap& parameters, const QDBusMessage& message) {
    // The bus wraps values once more when a caller sends a variant of a
    // variant, and names a comparison by its object: both come to a plain value here.
    QVariantMap arguments;
    for (auto it = parameters.begin(); it != parameters.end(); ++it) {
        QVariant v = it.value();
        while (v.canConvert<QDBusVariant>() && v.typeId() == qMetaTypeId<QDBusVariant>())
            v = v.value<QDBusVariant>().variant();
        if (v.typeId() == qMetaTypeId<QDBusObjectPath>()) {
            const qint64 id = bus::comparisonOfPath(v.value<QDBusObjectPath>().path());
            // A path that names none of ours stays a path, which the command refuses.
            v = id > 0 ? QVariant(id) : QVariant(v.value<QDBusObjectPath>().path());
        }
        arguments.insert(it.key(), v);
    }
    message.setDelayedReply(true);
    const QString name = QString::fromLatin1(command);
    std::unique_ptr<KQuorvaneScriptCommand> cmd = makeScriptCommand(name, m_scripting, m_settings, arguments);
    QDBusConnection connection = m_connection;
    cmd->perform([connection, message, name](const ScriptResult& result) mutable {
        if (result.error) {
            connection.send(message.createErrorReply(bus::errorName(result.error.number), result.error.text));
            return;
        }
        QDBusMessage reply;
        if (name == QLatin1String("execute")) reply = message.createReply(result.success.value_or(false));
        else if (name == QLatin1String("close")) reply = message.createReply();
        else
            reply = message.createReply(QVariant::fromValue(
                QDBusObjectPath(result.comparison > 0 ? bus::comparisonPath(result.comparison) : QStringLiteral("/"))));
        connection.send(reply);
    });
}

}  // namespace qv

#include "ScriptingAdaptor.moc"
