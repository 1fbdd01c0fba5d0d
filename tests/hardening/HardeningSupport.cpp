#include "HardeningSupport.h"
#include "TestApplication.h"

#include <QDir>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace hardening {

QApplication& app()
{
    return testApplication("meshscope");
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
