// The meshscope window on network sources: a real ser2net serving a
// pseudo-terminal that meshsim writes, UDP datagrams, and a TCP flood.

#include "HardeningSupport.h"

#include "SerialInput.h"

#include <QLineEdit>
#include <QProcess>
#include <QTcpServer>
#include <QUdpSocket>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <thread>

#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>

using namespace hardening;
using meshscope::frmVimo;

namespace {

// A TCP port on loopback that nothing listens on now.
quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// A process that is killed when the test ends.
class Child {
public:
    Child(const QString& program, const QStringList& args)
    {
        process_.setProcessChannelMode(QProcess::SeparateChannels);
        process_.start(program, args);
        EXPECT_TRUE(process_.waitForStarted(10000)) << program.toStdString();
    }
    ~Child() { stop(); }
    void stop()
    {
        if (process_.state() == QProcess::NotRunning)
            return;
        process_.terminate();
        if (!process_.waitForFinished(5000)) {
            process_.kill();
            process_.waitForFinished(5000);
        }
    }
    // The rest of the first standard-output line that starts with prefix.
    std::string lineAfter(const std::string& prefix)
    {
        std::string found;
        waitFor(
            [&] {
                while (process_.canReadLine()) {
                    const std::string line = process_.readLine().trimmed().toStdString();
                    if (line.rfind(prefix, 0) == 0 && found.empty())
                        found = line.substr(prefix.size());
                }
                return !found.empty();
            },
            10000);
        return found;
    }
    QProcess& process() { return process_; }

private:
    QProcess process_;
};

// meshsim on a new pseudo-terminal, and ser2net serving it on a loopback
// port with a configuration of its own.
class Bridge {
public:
    Bridge(const QString& dir, quint16 port)
        : meshsim_(QStringLiteral(MESHSIM_PATH), {QStringLiteral("--rate"), QStringLiteral("50")})
    {
        const std::string pty = meshsim_.lineAfter("meshsim: sending on ");
        const QString config = dir + QStringLiteral("/ser2net-%1.yaml").arg(port);
        std::ofstream(config.toStdString()) << "connection: &meshsim\n"
                                            << "  accepter: tcp,127.0.0.1," << port << "\n"
                                            << "  connector: serialdev," << pty << ",115200n81,local\n";
        ser2net_ = std::make_unique<Child>(QStringLiteral("ser2net"),
                                           QStringList{QStringLiteral("-n"), QStringLiteral("-u"), QStringLiteral("-c"),
                                                       config, QStringLiteral("-P"), config + QStringLiteral(".pid")});
    }
    void stop()
    {
        ser2net_->stop();
        meshsim_.stop();
    }

private:
    Child meshsim_;
    std::unique_ptr<Child> ser2net_;
};

class NetworkSources : public ::testing::Test {
protected:
    void SetUp() override { app(); }
    ScratchDir scratch{smallHillFile()};
};

// Refused until ser2net listens, then frames; ser2net stopped and started
// again is one loss and one reopening, and frames follow.
TEST_F(NetworkSources, ThroughSer2netFramesArriveAndARestartIsOneLossAndOneReopening)
{
    const quint16 port = freePort();
    const std::string name = "tcp://127.0.0.1:" + std::to_string(port);
    StderrCapture errors;
    auto window = openWindow<frmVimo>(name);
    ASSERT_TRUE(waitFor([&] { return linesWith(errors.text(), "cannot connect to " + name) == 1; })) << errors.text();
    QTest::qWait(1000); // refused again and again meanwhile, quietly

    auto bridge = std::make_unique<Bridge>(scratch.path(), port);
    ASSERT_TRUE(waitFor([&] { return window->state().okCount > 3; }, 15000)) << errors.text();
    EXPECT_EQ(linesWith(errors.text(), "opened " + name), 1) << errors.text();

    bridge->stop();
    ASSERT_TRUE(waitFor([&] { return linesWith(errors.text(), "lost the line on " + name) == 1; })) << errors.text();
    const auto counted = window->state().okCount;
    bridge = std::make_unique<Bridge>(scratch.path(), port);
    ASSERT_TRUE(waitFor([&] { return linesWith(errors.text(), "reopened " + name) == 1; }, 15000)) << errors.text();
    EXPECT_TRUE(waitFor([&] { return window->state().okCount > counted + 3; }, 15000));
    bridge->stop();
    EXPECT_TRUE(waitFor([&] { return linesWith(errors.text(), "lost the line on " + name) == 2; }));

    const std::string said = errors.text();
    errors.restore();
    EXPECT_EQ(linesWith(said, "meshscope:"), 5) << said;
    EXPECT_EQ(linesWith(said, "lost the line"), 2) << said;
}

// Each datagram's bytes join the stream in arrival order, so a frame may
// span datagrams, and they are counted and recorded as serial bytes are.
TEST_F(NetworkSources, UdpDatagramsReachTheCountersAndTheRecording)
{
    QUdpSocket probe;
    ASSERT_TRUE(probe.bind(QHostAddress::LocalHost, 0));
    const quint16 port = probe.localPort();
    probe.close();
    StderrCapture errors;
    app();
    auto window = std::make_unique<frmVimo>(2, QStringLiteral("udp://127.0.0.1:%1").arg(port));
    window->recordTo(scratch.path() + QStringLiteral("/udp.txt"));
    window->load();
    window->show();
    ASSERT_TRUE(window->inputLine().PortOpen()) << errors.text();

    QUdpSocket sender;
    const std::string reference(meshscope::kReferenceFrame);
    const std::string sent = reference.substr(0, 20) + "|" + reference.substr(20) + "|<5,5,50;9,9,90>";
    for (const QByteArray& datagram : QByteArray::fromStdString(sent).split('|'))
        sender.writeDatagram(datagram, QHostAddress::LocalHost, port);
    ASSERT_TRUE(waitFor([&] { return window->state().okCount > 0 && window->state().ptZ[1] == 90; }))
        << window->state().rxBuffer;
    window->close();
    std::ifstream recorded((scratch.path() + QStringLiteral("/udp.txt")).toStdString());
    const std::string text((std::istreambuf_iterator<char>(recorded)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, reference + "<5,5,50;9,9,90>");
    EXPECT_EQ(linesWith(errors.text(), "meshscope:"), 0) << errors.text();
}

// 20 s of frames as fast as a TCP client takes them: the status line keeps
// moving and memory stays flat, as under the serial floods.
TEST_F(NetworkSources, TcpFloodKeepsMemoryBounded)
{
    const int server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(server, reinterpret_cast<sockaddr*>(&address), length), 0);
    ASSERT_EQ(::listen(server, 1), 0);
    ::getsockname(server, reinterpret_cast<sockaddr*>(&address), &length);
    std::atomic<bool> stop{false};
    std::atomic<std::size_t> sent{0};
    std::thread flood([&] {
        const int client = ::accept(server, nullptr, nullptr);
        std::string block;
        while (block.size() < 4096)
            block += std::string(meshscope::kReferenceFrame) + "<5,5,50; 9,9,90>";
        while (!stop && client >= 0) {
            const ssize_t n = ::send(client, block.data(), block.size(), MSG_NOSIGNAL);
            if (n <= 0)
                break;
            sent += std::size_t(n);
        }
        if (client >= 0)
            ::close(client);
    });

    auto window = openWindow<frmVimo>("tcp://127.0.0.1:" + std::to_string(ntohs(address.sin_port)));
    QTest::keyClick(window->viewport(), 'z');
    QTest::qWait(1000);
    const long startKb = residentKb(::getpid());
    long peakKb = startKb;
    rusage before{};
    ::getrusage(RUSAGE_SELF, &before);
    const auto countedBefore = window->state().interpCount;
    int secondsWithChange = 0;
    for (int second = 0; second < 20; ++second) {
        const std::string status = window->statusBox()->text().toStdString();
        QTest::qWait(1000);
        secondsWithChange += window->statusBox()->text().toStdString() != status ? 1 : 0;
        peakKb = std::max(peakKb, residentKb(::getpid()));
    }
    rusage after{};
    ::getrusage(RUSAGE_SELF, &after);
    const auto cpu = [](const rusage& r) {
        return double(r.ru_utime.tv_sec + r.ru_stime.tv_sec) + double(r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e6;
    };
    const auto taken = window->state().interpCount - countedBefore;
    window->close();
    stop = true;
    ::shutdown(server, SHUT_RDWR);
    flood.join();
    ::close(server);

    std::printf("TCP flood (in-process, 20 s): %zu bytes, %d frames taken, resident %ld kB at start, %ld kB at peak, "
                "CPU %.1f s of the test process\n",
                sent.load(), int(taken), startKb, peakKb, cpu(after) - cpu(before));
    EXPECT_GE(secondsWithChange, 18);
    EXPECT_GT(sent.load(), 2u << 20) << "the viewer stopped reading";
    EXPECT_GT(taken, 100);
    EXPECT_LE(window->state().rxBuffer.size(), meshscope::kRxBufferLimit);
    if (!kAddressSanitizer) {
        EXPECT_LT(peakKb - startKb, 20 * 1024);
    }
}

} // namespace
