// The serial control reading the simulator: the path a user takes to try the
// viewer without the device.
#include "MSComm.h"
#include "SerialInput.h"
#include "TestCoreApplication.h"

#include <QCoreApplication>
#include <QProcess>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

const std::string kReference(meshscope::kReferenceFrame);

TEST(MeshsimThroughMSComm, PolledControlReceivesEveryFrameThenSeesTheLineEnd)
{
    testApplicationOf("test");

    QProcess sim;
    sim.start(MESHSIM_PATH, {"--count", "5", "--rate", "100"});
    ASSERT_TRUE(sim.waitForReadyRead(5000));
    const QString path = QString::fromUtf8(sim.readLine().trimmed()).section(' ', -1);

    MSComm comm;
    QSignalSpy failed(&comm, &MSComm::portFailed);
    comm.setDevicePath(path);
    comm.setPortOpen(true);

    // Poll as the viewer's timer does until the simulator has gone.
    std::string received;
    for (int tick = 0; tick < 500 && failed.isEmpty(); ++tick) {
        if (comm.InBufferCount() > 0)
            received += comm.Input();
        QCoreApplication::processEvents();
        usleep(10000);
    }
    received += comm.Input();
    EXPECT_EQ(received, kReference + kReference + kReference + kReference + kReference);
    EXPECT_EQ(failed.size(), 1);
    EXPECT_FALSE(comm.PortOpen());
    EXPECT_TRUE(sim.state() == QProcess::NotRunning || sim.waitForFinished(5000));
    EXPECT_EQ(sim.exitCode(), 0);
}

} // namespace
