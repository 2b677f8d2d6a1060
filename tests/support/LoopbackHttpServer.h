#pragma once
// A small HTTP/1.1 server on 127.0.0.1 for the update tests. It runs on its
// own thread, so a test may block on a child process (the quorvane command)
// while the server answers. Each path answers as configured; an unknown
// path answers 404. One request per connection, then the connection closes.

#include <QByteArray>
#include <QHash>
#include <QMutex>
#include <QString>
#include <QThread>
#include <QUrl>

#include <memory>

class QTcpServer;

namespace qv::test {

struct HttpAnswer {
    int status = 200;
    QByteArray body;
    bool announceLength = true;   // send Content-Length
    qint64 announcedLength = -1;  // the length announced; -1 for the body's own
    qint64 dropAfter = -1;        // close the connection after this many body bytes
};

class LoopbackHttpServer {
public:
    LoopbackHttpServer();
    ~LoopbackHttpServer();
    LoopbackHttpServer(const LoopbackHttpServer&) = delete;
    LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

    // The folder the files are served from: "http://127.0.0.1:PORT/releases/".
    QUrl folder() const;
    void serve(const QString& name, HttpAnswer answer);
    void serve(const QString& name, const QByteArray& body) { serve(name, HttpAnswer{200, body}); }
    void remove(const QString& name);
    // How many requests asked for `name`.
    int requests(const QString& name) const;

private:
    HttpAnswer answerFor(const QString& path);

    QThread m_thread;
    QObject m_context;                // lives on m_thread: calls into it run there
    QTcpServer* m_server = nullptr;   // lives on m_thread
    quint16 m_port = 0;
    mutable QMutex m_mutex;
    QHash<QString, HttpAnswer> m_answers;
    QHash<QString, int> m_requests;
};

}  // namespace qv::test
