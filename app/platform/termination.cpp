#include "app/platform/termination.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace vel::platform {

namespace {

int g_pipe[2] = {-1, -1};

extern "C" void SignalToPipe(int)
{
    const char c = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_pipe[0], &c, 1);
}

} // namespace

void OnTerminationRequest(std::function<void()> close)
{
    if (g_pipe[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_pipe) != 0)
        return;
    auto *notifier = new QSocketNotifier(g_pipe[1], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [close = std::move(close)] {
        char c;
        if (::read(g_pipe[1], &c, 1) == 1)
            close();
    });
    struct sigaction sa {};
    sa.sa_handler = SignalToPipe;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int sig : {SIGTERM, SIGHUP, SIGINT})
        ::sigaction(sig, &sa, nullptr);
}

} // namespace vel::platform
