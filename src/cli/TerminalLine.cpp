#include "cli/TerminalLine.h"

#include <atomic>
#include <cstdio>
#include <unistd.h>

namespace qv {
namespace {

std::atomic<bool> g_drawn{false};

}  // namespace

bool TerminalLine::enabled() {
    static const bool tty = ::isatty(STDERR_FILENO) != 0;
    return tty;
}

void TerminalLine::draw(const QString& text) {
    if (!enabled()) return;
    std::fprintf(stderr, "\r%s\033[K", text.toLocal8Bit().constData());
    std::fflush(stderr);
    g_drawn = true;
}

void TerminalLine::clear() {
    if (!g_drawn.exchange(false)) return;
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
}

}  // namespace qv
