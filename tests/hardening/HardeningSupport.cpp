#include "HardeningSupport.h"
#include "TestApplication.h"

#include <QDir>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <pty.h>
#include <sstream>
#include <termios.h>
#include <unistd.h>

namespace hardening {

QApplication& app()
{
    return testApplication("meshscope");
}

Device::Device()
{
    char name[128] = {};
    termios raw{};
    cfmakeraw(&raw);
    if (openpty(&master_, &slave_, name, &raw, nullptr) != 0)
        ADD_FAILURE() << "openpty failed: " << std::strerror(errno);
    // Never block: a writer must notice when it is told to stop.
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
    path_ = name;
}

Device::~Device()
{
    hangUp();
}

void Device::send(const std::string& text, const std::atomic<bool>* abandon) const
{
    std::size_t done = 0;
    while (done < text.size() && master_ >= 0 && !(abandon && *abandon)) {
        const ssize_t n = ::write(master_, text.data() + done, text.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && errno == EAGAIN) {
            pollfd writable{master_, POLLOUT, 0};
            ::poll(&writable, 1, 50);
        } else if (n < 0 && errno != EINTR) {
            ADD_FAILURE() << "writing to the pseudo-terminal failed: " << std::strerror(errno);
            return;
        }
    }
}

void Device::hangUp()
{
    if (slave_ >= 0)
        ::close(slave_);
    if (master_ >= 0)
        ::close(master_);
    slave_ = master_ = -1;
}

StableLink::StableLink()
{
    // Unique name: the serial port's lock file is named after it.
    path_ = dir_.filePath(QStringLiteral("meshscope-device-%1").arg(::getpid())).toStdString();
}

StableLink::~StableLink()
{
    remove();
}

void StableLink::pointAt(const std::string& target)
{
    remove();
    if (::symlink(target.c_str(), path_.c_str()) != 0)
        ADD_FAILURE() << "cannot link " << path_ << " to " << target << ": " << std::strerror(errno);
}

void StableLink::remove()
{
    ::unlink(path_.c_str());
}

StderrCapture::StderrCapture()
{
    std::fflush(stderr);
    saved_ = ::dup(2);
    file_ = std::tmpfile();
    ::dup2(fileno(file_), 2);
}

StderrCapture::~StderrCapture()
{
    restore();
    std::fclose(file_);
}

std::string StderrCapture::text()
{
    std::fflush(stderr);
    std::string all;
    std::rewind(file_);
    char buffer[4096];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, file_)) > 0)
        all.append(buffer, n);
    std::fseek(file_, 0, SEEK_END);
    return all;
}

void StderrCapture::restore()
{
    if (saved_ < 0)
        return;
    std::fflush(stderr);
    ::dup2(saved_, 2);
    ::close(saved_);
    saved_ = -1;
}

int linesWith(const std::string& text, const std::string& needle)
{
    std::istringstream lines(text);
    int count = 0;
    for (std::string line; std::getline(lines, line);)
        count += line.find(needle) != std::string::npos ? 1 : 0;
    return count;
}

long residentKb(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    }
    return 0;
}

ScratchDir::ScratchDir(const std::string& dataFile)
{
    previous_ = QDir::currentPath();
    QDir::setCurrent(dir_.path());
    if (!dataFile.empty())
        writeDataFile(dataFile);
}

ScratchDir::~ScratchDir()
{
    QDir::setCurrent(previous_);
}

void ScratchDir::writeDataFile(const std::string& content) const
{
    const std::string name = path() + "/datafile.dat";
    QDir(dir_.path()).rmdir(QStringLiteral("datafile.dat"));
    std::ofstream file(name, std::ios::binary | std::ios::trunc);
    file.write(content.data(), static_cast<std::streamsize>(content.size()));
}

std::string smallHillFile()
{
    std::ostringstream out;
    for (int x = 10; x <= 30; ++x)
        for (int y = 10; y <= 30; ++y)
            out << x << ' ' << y << ' ' << 40 - std::abs(x - 20) - std::abs(y - 20) << '\n';
    return out.str();
}

bool waitFor(const std::function<bool()>& condition, int ms)
{
    return QTest::qWaitFor(condition, ms);
}

} // namespace hardening
