#include "StopSignals.h"

#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <unistd.h>

namespace meshscope {

namespace {

// The handler only writes the signal's number down this pipe; the event
// loop reads it.
int signalPipe[2] = {-1, -1};
constexpr int stopSignals[] = {SIGTERM, SIGINT, SIGHUP};

void onSignal(int signal)
{
    const int saved = errno;
    const unsigned char number = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &number, 1);
    errno = saved;
}

} // namespace

StopSignals::StopSignals(std::function<void(int)> onStop, QObject* parent) : QObject(parent), onStop_(std::move(onStop))
{
    if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    notifier_ = std::make_unique<QSocketNotifier>(signalPipe[0], QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, [this] {
        unsigned char number = 0;
        while (::read(signalPipe[0], &number, 1) == 1)
            onStop_(number);
    });
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : stopSignals)
        ::sigaction(signal, &action, nullptr);
}

StopSignals::~StopSignals()
{
    for (const int signal : stopSignals)
        std::signal(signal, SIG_DFL);
    notifier_.reset();
    for (int& fd : signalPipe) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

} // namespace meshscope
