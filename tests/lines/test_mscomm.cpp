// The serial control over real pseudo-terminal pairs, its reading logic over
// an in-memory device, and the network addresses the network control takes.
#include "LineAddress.h"
#include "MSComm.h"
#include "NetComm.h"
#include "PtyDevice.h"
#include "TestCoreApplication.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QSignalSpy>
#include <QDateTime>
#include <QFile>
#include <QProcess>
#include <QSysInfo>
#include <QTemporaryFile>

#include <gtest/gtest.h>

#include <termios.h>
#include <unistd.h>

#include <optional>
#include <string>

namespace {

QCoreApplication& app()
{
    return testApplicationOf("test_mscomm");
}

// The device path the control opens for a pseudo-terminal.
QString pathOf(const PtyDevice& pty)
{
    return QString::fromStdString(pty.path());
}

// Polls until at least `expected` characters wait, as the viewer's timer would.
std::int16_t waitForCount(MSComm& comm, int expected)
{
    std::int16_t count = 0;
    for (int tick = 0; tick < 200 && (count = comm.InBufferCount()) < expected; ++tick) {
        QCoreApplication::processEvents();
        usleep(10000);
    }
    return count;
}

class MSCommTest : public ::testing::Test {
protected:
    void SetUp() override { app(); }
};

TEST_F(MSCommTest, ReceivesBytesInOrderAcrossReads)
{
    PtyDevice pty;
    MSComm comm;
    comm.setDevicePath(pathOf(pty));
    comm.setPortOpen(true);
    ASSERT_TRUE(comm.PortOpen());
    EXPECT_EQ(comm.InBufferCount(), 0);
    EXPECT_EQ(comm.Input(), "");

    const std::string first = "<66,66,70; 100,100,10;";
    pty.send(first);
    // No event loop has run: the poll itself must see what reached the device.
    EXPECT_EQ(waitForCount(comm, int(first.size())), std::int16_t(first.size()));
    pty.send(" 1,66,10>");
    EXPECT_EQ(waitForCount(comm, int(first.size()) + 9), std::int16_t(first.size() + 9));
    EXPECT_EQ(comm.Input(), "<66,66,70; 100,100,10; 1,66,10>");
    EXPECT_EQ(comm.InBufferCount(), 0);
    EXPECT_EQ(comm.Input(), "");

    // Every byte value passes unchanged through the raw line.
    std::string all;
    for (int c = 0; c < 256; ++c)
        all.push_back(char(c));
    pty.send(all);
    std::string got;
    for (int tick = 0; tick < 200 && got.size() < all.size(); ++tick) {
        got += comm.Input();
        usleep(5000);
    }
    EXPECT_EQ(got, all);

    comm.setPortOpen(false);
    EXPECT_FALSE(comm.PortOpen());
    comm.setPortOpen(false); // closing a closed port is harmless
    EXPECT_EQ(comm.InBufferCount(), 0);
}

TEST_F(MSCommTest, OpeningTwiceKeepsWaitingData)
{
    PtyDevice pty;
    MSComm comm;
    comm.setDevicePath(pathOf(pty));
    comm.setPortOpen(true);
    pty.send("abc");
    waitForCount(comm, 3);
    comm.setPortOpen(true);
    EXPECT_TRUE(comm.PortOpen());
    EXPECT_EQ(comm.Input(), "abc");
}

TEST_F(MSCommTest, ComPortNumbersMapToTtyS)
{
    MSComm comm;
    comm.setCommPort(1);
    EXPECT_EQ(comm.devicePath(), "/dev/ttyS0");
    comm.setCommPort(2);
    EXPECT_EQ(comm.devicePath(), "/dev/ttyS1");
    comm.setCommPort(12);
    EXPECT_EQ(comm.devicePath(), "/dev/ttyS11");
    EXPECT_THROW(comm.setCommPort(0), LineOpenError);
}

std::string openError(MSComm& comm)
{
    try {
        comm.setPortOpen(true);
    } catch (const LineOpenError& e) {
        return e.what();
    }
    return "(opened)";
}

TEST_F(MSCommTest, OpenFailuresNameTheDeviceAndReason)
{
    MSComm missing;
    missing.setDevicePath("/dev/no-such-serial-device");
    EXPECT_EQ(openError(missing), "cannot open /dev/no-such-serial-device: No such file or directory");
    EXPECT_FALSE(missing.PortOpen());

    MSComm devNull;
    devNull.setDevicePath("/dev/null");
    EXPECT_EQ(openError(devNull).rfind("cannot open /dev/null: not a serial device", 0), 0u);
    EXPECT_FALSE(devNull.PortOpen());

    QTemporaryFile file;
    ASSERT_TRUE(file.open());
    MSComm regular;
    regular.setDevicePath(file.fileName());
    EXPECT_EQ(openError(regular).rfind("cannot open " + file.fileName().toStdString() + ": not a serial device", 0),
              0u);
    EXPECT_FALSE(regular.PortOpen());
}

// The line speed reaches the terminal; a refused one leaves the port closed
// and says so apart from the failures to open.
TEST_F(MSCommTest, ChosenSpeedReachesTheLineAndARefusedOneIsNamed)
{
    PtyDevice pty;
    MSComm comm;
    comm.setDevicePath(pathOf(pty));
    comm.setPortOpen(true);
    EXPECT_EQ(pty.lineSpeed(), speed_t(B115200));
    comm.setPortOpen(false);

    comm.setBaudRate(57600);
    comm.setPortOpen(true);
    EXPECT_EQ(pty.lineSpeed(), speed_t(B57600));
    EXPECT_THROW(comm.setBaudRate(9600), LineOpenError); // not while open
    comm.setPortOpen(false);

    comm.setBaudRate(0);
    try {
        comm.setPortOpen(true);
        ADD_FAILURE() << "opened at 0 baud";
    } catch (const LineSpeedError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("cannot set 0 baud on " + pty.path() + ": ", 0), 0u) << e.what();
    }
    EXPECT_FALSE(comm.PortOpen());
}

// A driver that takes a rate it cannot run near one it can (a 16550A asked
// for 4000000 runs at 115200): a pseudo-terminal keeps any rate, so a stand-in
// reports the driver's rate here.
class ClampingComm : public MSComm {
protected:
    std::optional<qint32> driverRate() const override { return 115200; }
};

TEST_F(MSCommTest, RateTheDriverTookIsReadBackAndADifferentOneSaid)
{
    PtyDevice pty;
    MSComm honest;
    QSignalSpy honestNotice(&honest, &MSComm::notice);
    honest.setDevicePath(pathOf(pty));
    honest.setBaudRate(57600);
    honest.setPortOpen(true);
    EXPECT_TRUE(honestNotice.isEmpty()) << "the pseudo-terminal runs at the rate asked";
    honest.setPortOpen(false);

    ClampingComm clamping;
    QSignalSpy notice(&clamping, &MSComm::notice);
    clamping.setDevicePath(pathOf(pty));
    clamping.setBaudRate(4000000);
    clamping.setPortOpen(true);
    EXPECT_TRUE(clamping.PortOpen());
    ASSERT_EQ(notice.size(), 1);
    EXPECT_EQ(notice.at(0).at(0).toString(), pathOf(pty) + " runs at 115200 baud, not the 4000000 asked");
}

// A lock file left by an ended program is taken over; one whose holder runs
// refuses the port, however old the file is, and names the holder.
TEST_F(MSCommTest, LocksOfEndedProgramsAreTakenOverAndLiveOnesRefuse)
{
    PtyDevice pty;
    const QString lock = MSComm::lockFilePath(pathOf(pty));
    ASSERT_FALSE(lock.isEmpty());
    const auto writeLock = [&](qint64 pid, const char* program) {
        QFile file(lock);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(QByteArray::number(pid) + '\n' + program + '\n' + QSysInfo::machineHostName().toUtf8() + '\n');
        file.close();
        // Older than the serial port library's 30 s, after which it counts any lock as stale.
        file.open(QIODevice::ReadWrite);
        file.setFileTime(QDateTime::currentDateTime().addSecs(-3600), QFileDevice::FileModificationTime);
    };

    QProcess ended;
    ended.start(QStringLiteral("true"));
    ASSERT_TRUE(ended.waitForFinished(5000));
    writeLock(ended.processId() ? ended.processId() : 999999, "true");
    MSComm comm;
    comm.setDevicePath(pathOf(pty));
    EXPECT_EQ(openError(comm), "(opened)");
    comm.setPortOpen(false);
    EXPECT_FALSE(QFile::exists(lock));

    QProcess holder;
    holder.start(QStringLiteral("sleep"), {QStringLiteral("30")});
    ASSERT_TRUE(holder.waitForStarted(5000));
    writeLock(holder.processId(), "sleep");
    EXPECT_EQ(openError(comm),
              "cannot open " + pty.path() + ": device is busy (sleep, process " + std::to_string(holder.processId())
                  + " has it open)");
    EXPECT_FALSE(comm.PortOpen());
    holder.kill();
    holder.waitForFinished(5000);
    QFile::remove(lock);
}

TEST_F(MSCommTest, BusyDeviceIsRefusedWithItsName)
{
    PtyDevice pty;
    MSComm first;
    first.setDevicePath(pathOf(pty));
    first.setPortOpen(true);

    MSComm second;
    second.setDevicePath(pathOf(pty));
    EXPECT_EQ(openError(second), "cannot open " + pty.path() + ": device is busy (another program has it open)");
    EXPECT_FALSE(second.PortOpen());

    // The first holder still works.
    pty.send("ok");
    EXPECT_EQ(waitForCount(first, 2), 2);
}

TEST_F(MSCommTest, LostLineIsReportedOnceAndLaterReadsAreSafe)
{
    PtyDevice pty;
    MSComm comm;
    QSignalSpy failed(&comm, &MSComm::portFailed);
    comm.setDevicePath(pathOf(pty));
    comm.setPortOpen(true);
    pty.send("<1,2,3;");
    waitForCount(comm, 7);

    pty.hangUp();
    for (int tick = 0; tick < 100 && failed.isEmpty(); ++tick) {
        comm.InBufferCount();
        QCoreApplication::processEvents();
        usleep(10000);
    }
    ASSERT_EQ(failed.size(), 1);
    EXPECT_TRUE(failed.at(0).at(0).toString().contains(pathOf(pty)));
    EXPECT_FALSE(comm.PortOpen());

    // What arrived before the failure is still handed out, then nothing.
    EXPECT_EQ(comm.Input(), "<1,2,3;");
    for (int tick = 0; tick < 5; ++tick) {
        QCoreApplication::processEvents();
        EXPECT_EQ(comm.InBufferCount(), 0);
        EXPECT_EQ(comm.Input(), "");
    }
    comm.setPortOpen(false);
    EXPECT_EQ(failed.size(), 1);
}

TEST_F(MSCommTest, LostLineIsReportedFromTheEventLoopAlone)
{
    PtyDevice pty;
    MSComm comm;
    QSignalSpy failed(&comm, &MSComm::portFailed);
    comm.setDevicePath(pathOf(pty));
    comm.setPortOpen(true);
    pty.hangUp();
    EXPECT_TRUE(failed.wait(2000));
    QCoreApplication::processEvents();
    EXPECT_EQ(failed.size(), 1);
    EXPECT_FALSE(comm.PortOpen());
}

TEST_F(MSCommTest, WaitingCountSaturatesAt32767)
{
    EXPECT_EQ(saturatedCharCount(0), 0);
    EXPECT_EQ(saturatedCharCount(32767), 32767);
    EXPECT_EQ(saturatedCharCount(32768), 32767);
    EXPECT_EQ(saturatedCharCount(1 << 20), 32767);

    // Through the line: the control keeps buffering between the writer's
    // chunks (a pseudo-terminal holds only a few kilobytes itself).
    PtyDevice pty;
    MSComm comm;
    comm.setDevicePath(pathOf(pty));
    comm.setPortOpen(true);
    const std::string chunk(1000, 'x');
    for (int i = 0; i < 40; ++i) {
        pty.send(chunk);
        waitForCount(comm, (i + 1) * 1000 > 32767 ? 32767 : (i + 1) * 1000);
    }
    EXPECT_EQ(comm.InBufferCount(), 32767);
    EXPECT_EQ(comm.Input().size(), 40000u);
    EXPECT_EQ(comm.InBufferCount(), 0);
}

// An in-memory device the test appends to, as a line would deliver.
struct FedBuffer {
    QBuffer device;
    FedBuffer() { device.open(QIODevice::ReadOnly); }
    void arrive(const QByteArray& bytes, bool signalled = true)
    {
        device.buffer().append(bytes);
        if (signalled)
            emit device.readyRead();
    }
};

// Polled, nothing is lost however much waits; paused, only the newest
// characters are kept and the older ones are handed out once, in order.
TEST_F(MSCommTest, ReaderKeepsEverythingPolledAndTheNewestWhilePaused)
{
    FedBuffer line;
    LineReader reader(line.device);
    QSignalSpy discarded(&reader, &LineReader::discarded);
    ASSERT_TRUE(reader.isReading());

    line.arrive("<1,1,5;", false); // seen by the poll itself, no signal needed
    EXPECT_EQ(reader.InBufferCount(), 7);
    line.arrive(" 2,2,6>");
    EXPECT_EQ(reader.Input(), "<1,1,5; 2,2,6>");
    EXPECT_EQ(reader.InBufferCount(), 0);

    QByteArray many;
    for (int i = 0; i < 40000; ++i)
        many.append(char('a' + i % 26));
    line.arrive(many.left(20000));
    line.arrive(many.mid(20000));
    EXPECT_EQ(reader.InBufferCount(), 32767);
    EXPECT_EQ(reader.Input(), many.toStdString());
    EXPECT_TRUE(discarded.isEmpty());

    // Pausing with more than the bound waiting drops the excess at once.
    line.arrive(many.left(1500), false);
    reader.setPaused(true);
    line.arrive(many.mid(1500, 600));
    ASSERT_EQ(discarded.size(), 2);
    EXPECT_EQ(discarded.at(0).at(0).toByteArray(), many.left(476));
    EXPECT_EQ(discarded.at(1).at(0).toByteArray(), many.mid(476, 600));
    EXPECT_EQ(reader.InBufferCount(), LineReader::PausedLimit);
    EXPECT_EQ(reader.Input(), many.mid(1076, 1024).toStdString());

    reader.setPaused(false);
    line.arrive(many.left(3000));
    EXPECT_EQ(reader.InBufferCount(), 3000);
    EXPECT_EQ(discarded.size(), 2);
}

// A lost line stops reading at once; the device is closed and the loss
// reported once, from the poll or from the event loop, whichever comes first,
// and what arrived before it is still handed out.
TEST_F(MSCommTest, ReaderClosesALostDeviceAndReportsItOnce)
{
    for (const bool polled : {false, true}) {
        FedBuffer line;
        LineReader reader(line.device);
        QSignalSpy failed(&reader, &LineReader::portFailed);
        line.arrive("<1,2,3;", false);

        reader.lineLost(QStringLiteral("lost the line"));
        reader.lineLost(QStringLiteral("lost it again"));
        EXPECT_FALSE(reader.isReading());
        EXPECT_TRUE(failed.isEmpty()) << "reported inside the device's own signal";
        if (polled) {
            EXPECT_EQ(reader.InBufferCount(), 7);
        }
        QCoreApplication::processEvents();
        ASSERT_EQ(failed.size(), 1) << polled;
        EXPECT_EQ(failed.at(0).at(0).toString(), "lost the line");
        EXPECT_FALSE(line.device.isOpen());

        EXPECT_EQ(reader.Input(), "<1,2,3;");
        line.arrive("late");
        reader.lineLost(QStringLiteral("closed already"));
        QCoreApplication::processEvents();
        EXPECT_EQ(reader.InBufferCount(), 0);
        EXPECT_EQ(failed.size(), 1);
    }
}

// What the programs' own tests leave out: IPv6 in brackets, everything past
// the port, ports out of range, numeric bind addresses written out in full,
// and the simulator's port 0.
TEST(LineAddress, SourcesAreTakenApartOrRefusedWithTheReason)
{
    app();
    const struct {
        const char* text;
        const char* host; // nullptr: refused
        int port;
        const char* said;
    } cases[] = {
        {"tcp://[::1]:5000", "::1", 5000, ""},
        {"tcp://Sensor-1.lab.:05000", "Sensor-1.lab.", 5000, ""},
        {"udp://:5000", "", 5000, ""},
        {"udp://127.1:5000", "127.0.0.1", 5000, ""},
        {"udp://[fe80::1%25eth0]:5000", "fe80::1%eth0", 5000, ""},
        {"tcp://::1:5000", nullptr, 0, "cannot use tcp://::1:5000: not a network address (write tcp://HOST:PORT)"},
        {"tcp://a b:5000", nullptr, 0, "not a network address"},
        {"tcp://[::1]x:5000", nullptr, 0, "not a network address"},
        {"tcp://host:5000/", nullptr, 0, "only a host and a port may follow the scheme"},
        {"tcp://host:5000?x", nullptr, 0, "only a host and a port may follow the scheme"},
        {"tcp://user@host:5000", nullptr, 0, "only a host and a port may follow the scheme"},
        {"tcp://host:65536", nullptr, 0, "the port must be a number from 1 to 65535"},
        {"tcp://host:0", nullptr, 0, "the port must be a number from 1 to 65535"},
        {"udp://0.0.0.0:x", nullptr, 0,
         "cannot use udp://0.0.0.0:x: the port must be a number from 1 to 65535 (write udp://[ADDRESS]:PORT)"},
        {"udp://[::1]:", nullptr, 0, "the port must be a number from 1 to 65535"},
        {"udp://239.1.2.3:5012?iface=eth0", "239.1.2.3", 5012, ""},
        {"udp://239.1.2.3:5012?iface=", nullptr, 0, "the only setting after \"?\" is iface=NAME"},
        {"udp://239.1.2.3:5012?ttl=1", nullptr, 0, "the only setting after \"?\" is iface=NAME"},
        {"udp://127.0.0.1:5012?iface=lo", nullptr, 0, "iface=NAME applies only to a multicast group"},
        {"tcp://239.1.2.3:5012?iface=lo", nullptr, 0, "only a host and a port may follow the scheme"},
    };
    for (const auto& c : cases) {
        const std::optional<std::string> problem = lineaddress::sourceProblem(c.text);
        if (!c.host) {
            EXPECT_NE(problem.value_or("").find(c.said), std::string::npos) << c.text << ": " << problem.value_or("");
            EXPECT_THROW(NetComm().setAddress(QString::fromLatin1(c.text)), LineOpenError) << c.text;
            continue;
        }
        EXPECT_FALSE(problem) << c.text << ": " << *problem;
        const lineaddress::Address address = lineaddress::parseSource(c.text);
        EXPECT_EQ(address.host, c.host) << c.text;
        EXPECT_EQ(address.port, c.port) << c.text;
    }

    // Port 0 where the system may choose, a host required or not.
    const lineaddress::Rules anyPort{.hostRequired = false, .anyPort = true};
    EXPECT_EQ(lineaddress::parse("tcp://:0", "tcp", anyPort).port, 0);
    EXPECT_EQ(lineaddress::parse("tcp://localhost:0", "tcp", anyPort).host, "localhost");
    try {
        lineaddress::parse("udp://127.0.0.1:5000", "tcp", anyPort);
        ADD_FAILURE() << "a udp address taken for tcp";
    } catch (const lineaddress::AddressError& error) {
        EXPECT_STREQ(error.what(), "cannot use udp://127.0.0.1:5000: not a tcp address (write tcp://[ADDRESS]:PORT)");
    }
}

} // namespace
