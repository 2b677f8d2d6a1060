#include "ui/InstanceBus.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>

namespace qv {
namespace {

// A running instance busy with a modal dialog still answers the bus from its
// event loop; one that does not answer in this time is taken as hung.
constexpr int kForwardTimeoutMs = 5000;

}  // namespace

InstanceBus::InstanceBus(QObject* parent) : QObject(parent) { qDBusRegisterMetaType<QList<QByteArray>>(); }

InstanceBus::~InstanceBus() {
    if (!m_registered) return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.unregisterObject(QString::fromLatin1(kPath));
    bus.unregisterService(QString::fromLatin1(kService));
}

InstanceBus::Role InstanceBus::claimOrForward(const QList<QByteArray>& paths, bool start) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return Role::Alone;
    // Twice: an owner that quits between our failed claim and the forward leaves the name free.
    for (int attempt = 0; attempt < 2; ++attempt) {
        // Adaptors: the scripting interface joins the object once the application is up.
        if (!bus.registerObject(QString::fromLatin1(kPath), this,
                                QDBusConnection::ExportScriptableSlots | QDBusConnection::ExportAdaptors))
            return Role::Alone;
        if (bus.registerService(QString::fromLatin1(kService))) {
            m_registered = true;
            return Role::Primary;
        }
        bus.unregisterObject(QString::fromLatin1(kPath));
        if (forward(paths, start)) return Role::Forwarded;
    }
    return Role::Alone;
}

bool InstanceBus::forward(const QList<QByteArray>& paths, bool start) const {
    QDBusMessage call = QDBusMessage::createMethodCall(QString::fromLatin1(kService), QString::fromLatin1(kPath),
                                                       QString::fromLatin1(kInterface), QStringLiteral("Open"));
    call << QVariant::fromValue(paths) << start;
    const QDBusMessage reply = QDBusConnection::sessionBus().call(call, QDBus::Block, kForwardTimeoutMs);
    return reply.type() == QDBusMessage::ReplyMessage;
}

void InstanceBus::Open(const QList<QByteArray>& paths, bool start) { emit openRequested(paths, start); }

QList<QByteArray> InstanceBus::Comparisons() const { return m_comparisons ? m_comparisons() : QList<QByteArray>(); }

}  // namespace qv
