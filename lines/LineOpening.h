#pragma once

// The one place a port name becomes a line control: a serial device (COMn or
// a path), "tcp://", "udp://", "mqtt://" or "mqtts://", or a capture played
// back. A name with "://" and any other scheme is refused here, so the
// command line, the input line and the Source dialog agree on every name.

#include "LineControl.h"

#include <QString>

#include <memory>

enum class LineKind {
    serial, // COMn (no name) or a device path
    socket, // tcp:// or udp://
    mqtt,   // mqtt:// or mqtts://
    unknown // "://" with a scheme no control takes
};

LineKind lineKindOf(const QString& name);

// Why name cannot name a line (an unknown scheme, a malformed address), in
// one line; empty when it can. An empty name is COMn and fine here.
QString lineNameProblem(const QString& name);

// The control for COMn (an empty name) or for name; throws LineOpenError
// with lineNameProblem's text for a name it cannot take.
std::unique_ptr<LineControl> makeLine(int commPort, const QString& name);

// The capture at path, played one frame every 1/framesPerSecond s.
std::unique_ptr<LineControl> makeReplay(const QString& path, double framesPerSecond);
