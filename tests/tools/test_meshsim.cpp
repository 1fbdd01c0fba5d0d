// meshsim run as a process, read through real pseudo-terminals.
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QNetworkDatagram>
#include <QTcpSocket>
#include <QTemporaryFile>
#include <QUdpSocket>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <sstream>
#include <string>
#include <vector>

#include "SerialInput.h"
#include "TextSplit.h"

namespace {

const std::string kReference(meshscope::kReferenceFrame);

struct Simulator {
    QProcess process;

    explicit Simulator(const QStringList& args)
    {
        process.start(MESHSIM_PATH, args);
        process.waitForStarted(5000);
    }
    ~Simulator()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
    }
    // The pseudo-terminal path from the line "meshsim: sending on PATH".
    std::string slavePath()
    {
        while (!process.canReadLine() && process.waitForReadyRead(5000)) {
        }
        const std::string line = process.readLine().trimmed().toStdString();
        const std::string prefix = "meshsim: sending on ";
        EXPECT_EQ(line.rfind(prefix, 0), 0u) << line;
        std::string path = line.substr(std::min(line.size(), prefix.size()));
        // The next line is the viewer's command to run as it stands.
        while (!process.canReadLine() && process.waitForReadyRead(5000)) {
        }
        const std::string watch = process.readLine().trimmed().toStdString();
        if (watch.find("watch the other end of this line") != std::string::npos) {
            // A named device: the viewer watches the far end, not this one.
            EXPECT_NE(watch.find("not " + path + ")"), std::string::npos) << watch;
            return path;
        }
        const std::string watchPrefix = "meshsim: watch it with ", watchSuffix = " --port " + path;
        EXPECT_TRUE(watch.starts_with(watchPrefix) && watch.ends_with(watchSuffix)) << watch;
        const std::string viewer
            = watch.substr(std::min(watch.size(), watchPrefix.size()),
                           watch.size() - std::min(watch.size(), watchPrefix.size() + watchSuffix.size()));
        EXPECT_TRUE(QFileInfo(QString::fromStdString(viewer)).isExecutable()) << watch;
        return path;
    }
    bool finishedCleanly(int timeoutMs = 5000)
    {
        return process.waitForFinished(timeoutMs) && process.exitStatus() == QProcess::NormalExit
            && process.exitCode() == 0;
    }
};

int openReader(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd >= 0) {
        termios raw{};
        tcgetattr(fd, &raw);
        cfmakeraw(&raw);
        tcsetattr(fd, TCSANOW, &raw);
    }
    return fd;
}

// Reads until `enough` bytes arrived, the writer went away or time ran out;
// never more than `enough`, however far a steady writer got meanwhile.
std::string readFrom(int fd, std::size_t enough, int timeoutMs = 5000)
{
    std::string data;
    for (int waited = 0; data.size() < enough && waited < timeoutMs; waited += 20) {
        pollfd entry{fd, POLLIN, 0};
        if (::poll(&entry, 1, 20) <= 0)
            continue;
        char buffer[4096];
        const ssize_t n = ::read(fd, buffer, std::min(sizeof buffer, enough - data.size()));
        if (n <= 0)
            break;
        data.append(buffer, std::size_t(n));
    }
    return data;
}

std::vector<std::string> split(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    std::stringstream stream(text);
    for (std::string part; std::getline(stream, part, separator);)
        parts.push_back(part);
    if (!text.empty() && text.back() == separator)
        parts.emplace_back();
    return parts;
}

std::vector<std::string> frames(const std::string& data)
{
    const auto pieces = meshscope::splitAfter(data, '>');
    return {pieces.begin(), pieces.end()};
}

// Checks a frame the way the viewer reads it: 2..21 items of integer fields,
// columns and rows on the grid, heights in the stated band.
void expectValidFrame(const std::string& frame, int minItems, int maxItems, int maxHeight)
{
    ASSERT_GE(frame.size(), 2u);
    ASSERT_EQ(frame.front(), '<') << frame;
    ASSERT_EQ(frame.back(), '>') << frame;
    const auto items = split(frame.substr(1, frame.size() - 2), ';');
    EXPECT_GE(int(items.size()), minItems) << frame;
    EXPECT_LE(int(items.size()), maxItems) << frame;
    for (const std::string& item : items) {
        const auto fields = split(item, ',');
        ASSERT_EQ(fields.size(), 3u) << frame;
        int value[3];
        for (int i = 0; i < 3; ++i) {
            std::size_t used = 0;
            value[i] = std::stoi(fields[i], &used);
            EXPECT_EQ(fields[i].find_first_not_of(" 0123456789"), std::string::npos) << frame;
        }
        EXPECT_GE(value[0], 1);
        EXPECT_LE(value[0], 100);
        EXPECT_GE(value[1], 1);
        EXPECT_LE(value[1], 100);
        EXPECT_GE(value[2], 0);
        EXPECT_LE(value[2], maxHeight);
    }
}

TEST(Meshsim, CountedReferenceFramesWaitForTheReaderAndArriveWhole)
{
    Simulator sim({"--count", "3", "--pattern", "reference", "--rate", "50"});
    const std::string path = sim.slavePath();
    // No reader yet: the simulator waits instead of sending into the void.
    usleep(300000);
    EXPECT_EQ(sim.process.state(), QProcess::Running);

    const int reader = openReader(path);
    ASSERT_GE(reader, 0) << path;
    const std::string data = readFrom(reader, 4 * kReference.size(), 3000);
    EXPECT_EQ(data, kReference + kReference + kReference);
    ::close(reader);
    EXPECT_TRUE(sim.finishedCleanly());
}

TEST(Meshsim, ReplaySendsTheFileUnchanged)
{
    std::string capture = "noise<1,2,3;4,5,6>\r\n<7,8,9; 10,11,12>";
    capture += std::string("\0\xff\x7f<", 4) + "20,20,5;30,30,6>tail without end";
    QTemporaryFile file;
    ASSERT_TRUE(file.open());
    file.write(capture.data(), qint64(capture.size()));
    file.flush();

    Simulator sim({"--replay", file.fileName(), "--rate", "100"});
    const int reader = openReader(sim.slavePath());
    ASSERT_GE(reader, 0);
    EXPECT_EQ(readFrom(reader, capture.size() + 1, 3000), capture);
    ::close(reader);
    EXPECT_TRUE(sim.finishedCleanly());
}

TEST(Meshsim, WaveAndRandomFramesAreValidAndMove)
{
    Simulator wave({"--pattern", "wave", "--points", "7", "--count", "20", "--rate", "200"});
    int reader = openReader(wave.slavePath());
    ASSERT_GE(reader, 0);
    const auto waveFrames = frames(readFrom(reader, 1u << 20, 3000));
    ::close(reader);
    ASSERT_EQ(waveFrames.size(), 20u);
    for (const std::string& frame : waveFrames)
        expectValidFrame(frame, 7, 7, 50);
    EXPECT_NE(waveFrames.front(), waveFrames.back()); // the surface moves

    for (const char* points : {"2", "21"}) {
        Simulator sized({"--pattern", "wave", "--points", points, "--count", "1"});
        reader = openReader(sized.slavePath());
        ASSERT_GE(reader, 0);
        const auto one = frames(readFrom(reader, 1u << 20, 3000));
        ::close(reader);
        ASSERT_EQ(one.size(), 1u);
        expectValidFrame(one.front(), std::stoi(points), std::stoi(points), 50);
    }

    Simulator random({"--pattern", "random", "--count", "30", "--rate", "200", "--seed", "7"});
    reader = openReader(random.slavePath());
    ASSERT_GE(reader, 0);
    const auto randomFrames = frames(readFrom(reader, 1u << 20, 3000));
    ::close(reader);
    ASSERT_EQ(randomFrames.size(), 30u);
    for (const std::string& frame : randomFrames)
        expectValidFrame(frame, 2, 21, 60);
}

TEST(Meshsim, StopsCleanlyOnSignalsAndWhenTheReaderHangsUp)
{
    {
        Simulator waiting({});
        waiting.slavePath();
        waiting.process.terminate(); // SIGTERM before any reader came
        EXPECT_TRUE(waiting.finishedCleanly());
    }
    {
        Simulator sending({"--rate", "50"});
        const int reader = openReader(sending.slavePath());
        ASSERT_GE(reader, 0);
        EXPECT_FALSE(readFrom(reader, kReference.size()).empty());
        ::kill(pid_t(sending.process.processId()), SIGINT);
        EXPECT_TRUE(sending.finishedCleanly());
        ::close(reader);
    }
    {
        Simulator hungUp({"--rate", "50"});
        const int reader = openReader(hungUp.slavePath());
        ASSERT_GE(reader, 0);
        EXPECT_EQ(readFrom(reader, kReference.size()), kReference);
        ::close(reader);
        EXPECT_TRUE(hungUp.finishedCleanly());
    }
}

TEST(Meshsim, WritesToANamedDeviceUntilItsOtherEndCloses)
{
    int master = -1;
    int slave = -1;
    char name[128] = {};
    ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
    ::close(slave);
    // The simulator must not inherit the master, or closing it here would not hang up.
    fcntl(master, F_SETFD, FD_CLOEXEC);

    Simulator sim({"--device", name, "--rate", "100"});
    EXPECT_EQ(sim.slavePath(), name);
    // A reader that comes late finds more than two frames waiting: all of
    // them must be whole reference frames, in order.
    const std::string data = readFrom(master, 2 * kReference.size());
    ASSERT_GE(data.size(), 2 * kReference.size());
    std::string frames;
    while (frames.size() < data.size())
        frames += kReference;
    EXPECT_EQ(data, frames.substr(0, data.size()));
    ::close(master);
    EXPECT_TRUE(sim.finishedCleanly());
}

// Over the network: each TCP client gets the frames from the start, and UDP
// carries one frame per datagram.
TEST(Meshsim, ServesEachTcpClientAndSendsOneFramePerDatagram)
{
    Simulator server({"--listen", "tcp://127.0.0.1:0", "--count", "3", "--rate", "100"});
    while (!server.process.canReadLine() && server.process.waitForReadyRead(5000)) {
    }
    const QString listening = QString::fromUtf8(server.process.readLine().trimmed());
    ASSERT_TRUE(listening.startsWith("meshsim: listening on tcp://127.0.0.1:")) << listening.toStdString();
    const quint16 port = listening.section(':', -1).toUShort();
    for (int client = 0; client < 2; ++client) {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, port);
        ASSERT_TRUE(socket.waitForConnected(5000));
        QByteArray got;
        while (socket.state() == QAbstractSocket::ConnectedState && socket.waitForReadyRead(5000))
            got += socket.readAll();
        got += socket.readAll();
        std::string three = kReference;
        three += kReference;
        three += kReference;
        EXPECT_EQ(got.toStdString(), three) << client;
    }
    server.process.terminate();
    EXPECT_TRUE(server.finishedCleanly());

    QUdpSocket receiver;
    ASSERT_TRUE(receiver.bind(QHostAddress::LocalHost, 0));
    Simulator sender({"--send", QStringLiteral("udp://127.0.0.1:%1").arg(receiver.localPort()), "--count", "3",
                      "--pattern", "wave", "--rate", "100"});
    std::vector<std::string> datagrams;
    while (datagrams.size() < 3 && receiver.waitForReadyRead(5000)) {
        while (receiver.hasPendingDatagrams())
            datagrams.push_back(receiver.receiveDatagram().data().toStdString());
    }
    ASSERT_EQ(datagrams.size(), 3u);
    for (const std::string& datagram : datagrams)
        expectValidFrame(datagram, 9, 9, 50);
    EXPECT_TRUE(sender.finishedCleanly());
}

TEST(Meshsim, BadCommandLinesGiveOneLineAndExitTwo)
{
    const QStringList bad[] = {
        {"--bogus"},
        {"--rate", "0"},
        {"--rate", "fast"},
        {"--points", "1"},
        {"--points", "22"},
        {"--pattern", "square"},
        {"--count", "-1"},
        {"--count"},
        {"stray"},
        // Options the chosen pattern or the replay would ignore.
        {"--points", "5"},
        {"--pattern", "wave", "--seed", "3"},
        {"--replay", "x", "--pattern", "wave"},
        {"--count", "3", "--count", "4"},
        {"--listen", "tcp://127.0.0.1:65536"},
        {"--listen", "udp://127.0.0.1:5000"},
        {"--send", "udp://:5000"},
        {"--send", "udp://127.0.0.1:5000", "--device", "/dev/null"},
        {"--publish", "mqtt://127.0.0.1/lab/#"},
        {"--publish", "mqtt://127.0.0.1:1883"},
        {"--publish", "mqtts://127.0.0.1/lab"},
        {"--publish", "mqtt://127.0.0.1/lab", "--send", "udp://127.0.0.1:5000"},
    };
    for (const QStringList& args : bad) {
        Simulator sim(args);
        ASSERT_TRUE(sim.process.waitForFinished(5000)) << args.join(' ').toStdString();
        EXPECT_EQ(sim.process.exitCode(), 2) << args.join(' ').toStdString();
        const QByteArray error = sim.process.readAllStandardError();
        EXPECT_EQ(error.count('\n'), 1) << error.toStdString();
        EXPECT_TRUE(error.startsWith("meshsim: ")) << error.toStdString();
        EXPECT_TRUE(sim.process.readAllStandardOutput().isEmpty());
    }

    Simulator missingFile({"--replay", "/nonexistent/capture.txt"});
    ASSERT_TRUE(missingFile.process.waitForFinished(5000));
    EXPECT_EQ(missingFile.process.exitCode(), 1);
    EXPECT_EQ(missingFile.process.readAllStandardError(),
              "meshsim: cannot read /nonexistent/capture.txt: No such file or directory\n");

    Simulator noBroker({"--publish", "mqtt://127.0.0.1:1/lab"});
    ASSERT_TRUE(noBroker.process.waitForFinished(15000));
    EXPECT_EQ(noBroker.process.exitCode(), 1);
    EXPECT_EQ(noBroker.process.readAllStandardError(),
              "meshsim: cannot publish to mqtt://127.0.0.1:1/lab: Connection refused\n");

    Simulator directory({"--replay", QDir::tempPath()});
    ASSERT_TRUE(directory.process.waitForFinished(5000));
    EXPECT_EQ(directory.process.exitCode(), 1);
    EXPECT_EQ(directory.process.readAllStandardError().toStdString(),
              "meshsim: cannot read " + QDir::tempPath().toStdString() + ": it is a directory (give a capture file)\n");

    for (const char* option : {"--help", "-h"}) {
        Simulator help({option});
        EXPECT_TRUE(help.finishedCleanly());
        EXPECT_TRUE(help.process.readAllStandardOutput().startsWith("Usage: meshsim"));
    }
    Simulator version({"-v"});
    EXPECT_TRUE(version.finishedCleanly());
    EXPECT_TRUE(version.process.readAllStandardOutput().startsWith("meshsim "));
}

} // namespace
