#include "support/LoopbackHttpServer.h"

#include <QHostAddress>
#include <QMutexLocker>
#include <QTcpServer>
#include <QTcpSocket>

namespace qv::test {
namespace {

const QString kPrefix = QStringLiteral("/releases/");

QByteArray reasonFor(int status) {
    switch (status) {
    case 200: return "OK";
    case 404: return "Not Found";
    case 500: return "Internal Server Error";
    default: return "Status";
    }
}

}  // namespace

LoopbackHttpServer::LoopbackHttpServer() {
    m_context.moveToThread(&m_thread);
    m_thread.start();
    QMetaObject::invokeMethod(
        &m_context,
        [this] {
            m_server = new QTcpServer;
            m_server->listen(QHostAddress::LocalHost, 0);
            m_port = m_server->serverPort();
            QObject::connect(m_server, &QTcpServer::newConnection, m_server, [this] {
                while (QTcpSocket* socket = m_server->nextPendingConnection()) {
                    auto request = std::make_shared<QByteArray>();
                    QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
                    QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, request] {
                        request->append(socket->readAll());
                        if (!request->contains("\r\n\r\n")) return;
                        const QList<QByteArray> line = request->left(request->indexOf("\r\n")).split(' ');
                        const HttpAnswer answer = answerFor(line.size() > 1 ? QString::fromLatin1(line[1]) : QString());
                        QByteArray head = "HTTP/1.1 " + QByteArray::number(answer.status) + ' ' + reasonFor(answer.status) +
                                          "\r\nConnection: close\r\nContent-Type: application/octet-stream\r\n";
                        if (answer.announceLength)
                            head += "Content-Length: " +
                                    QByteArray::number(answer.announcedLength >= 0 ? answer.announcedLength
                                                                                   : answer.body.size()) +
                                    "\r\n";
                        socket->write(head + "\r\n");
                        socket->write(answer.dropAfter >= 0 ? answer.body.left(answer.dropAfter) : answer.body);
                        if (answer.dropAfter >= 0) {
                            socket->waitForBytesWritten(2000);
                            socket->abort();
                        } else {
                            socket->disconnectFromHost();
                        }
                    });
                }
            });
        },
        Qt::BlockingQueuedConnection);
}

LoopbackHttpServer::~LoopbackHttpServer() {
    // The context goes back to this thread from its own, the only thread allowed to move it.
    QThread* here = QThread::currentThread();
    QMetaObject::invokeMethod(
        &m_context,
        [this, here] {
            delete m_server;
            m_context.moveToThread(here);
        },
        Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
}

QUrl LoopbackHttpServer::folder() const {
    return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(kPrefix));
}

void LoopbackHttpServer::serve(const QString& name, HttpAnswer answer) {
    QMutexLocker lock(&m_mutex);
    m_answers.insert(name, std::move(answer));
}

void LoopbackHttpServer::remove(const QString& name) {
    QMutexLocker lock(&m_mutex);
    m_answers.remove(name);
}

int LoopbackHttpServer::requests(const QString& name) const {
    QMutexLocker lock(&m_mutex);
    return m_requests.value(name);
}

HttpAnswer LoopbackHttpServer::answerFor(const QString& path) {
    QMutexLocker lock(&m_mutex);
    const QString name = path.startsWith(kPrefix) ? path.mid(kPrefix.size()) : path;
    ++m_requests[name];
    return m_answers.value(name, HttpAnswer{404, "missing"});
}

}  // namespace qv::test
