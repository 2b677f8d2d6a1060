#include "cli/InterruptWatcher.h"

#include "base/Messages.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <semaphore.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace qv {
namespace {

// How long a watching run has, from the signal, to end by itself.
constexpr long kGraceMs = 700;

int g_pipe[2] = {-1, -1};
std::atomic<int> g_signal{0};
std::atomic<bool> g_flag{false};
std::atomic<int> g_watchers{0};
sem_t g_wake;
char g_message[256];
std::size_t g_messageLength = 0;

[[noreturn]] void leaveNow(int signal) {
    [[maybe_unused]] ssize_t n = ::write(STDERR_FILENO, g_message, g_messageLength);
    ::_exit(128 + signal);
}

// Only async-signal-safe calls here.
void onSignal(int signal) {
    int first = 0;
    if (!g_signal.compare_exchange_strong(first, signal)) leaveNow(first);
    g_flag.store(true);
    if (g_watchers.load() == 0) leaveNow(signal);
    const char byte = 1;
    [[maybe_unused]] ssize_t n = ::write(g_pipe[1], &byte, 1);
    ::sem_post(&g_wake);
}

void watchdog() {
    while (::sem_wait(&g_wake) != 0) {}
    struct timespec rest {0, kGraceMs * 1'000'000L};
    while (::nanosleep(&rest, &rest) != 0 && errno == EINTR) {}
    leaveNow(g_signal.load());
}

}  // namespace

void installInterruptHandling() {
    if (g_pipe[0] >= 0) return;
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, g_pipe) != 0) return;
    ::sem_init(&g_wake, 0, 0);
    const QByteArray message = "quorvane: " + Messages::text("cliInterrupted").toLocal8Bit() + '\n';
    g_messageLength = std::min<std::size_t>(sizeof g_message, static_cast<std::size_t>(message.size()));
    std::memcpy(g_message, message.constData(), g_messageLength);
    std::thread(watchdog).detach();
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(signal, &action, nullptr);
}

InterruptWatcher::InterruptWatcher() {
    ++g_watchers;
    if (g_pipe[0] < 0) return;
    m_notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        char buffer[16];
        while (::read(g_pipe[0], buffer, sizeof buffer) > 0) {}
        emit interrupted();
    });
}

InterruptWatcher::~InterruptWatcher() {
    delete m_notifier;
    --g_watchers;
}

const std::atomic<bool>& InterruptWatcher::flag() { return g_flag; }

int InterruptWatcher::exitStatus() {
    const int signal = g_signal.load();
    return signal ? 128 + signal : 0;
}

}  // namespace qv
