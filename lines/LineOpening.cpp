#include "LineOpening.h"

#include "LineAddress.h"
#include "MSComm.h"
#include "MqttComm.h"
#include "NetComm.h"
#include "ReplayComm.h"

LineKind lineKindOf(const QString& name)
{
    const std::string text = name.toStdString();
    if (lineaddress::isMqtt(text))
        return LineKind::mqtt;
    if (lineaddress::isSource(text))
        return LineKind::socket;
    return name.contains(QLatin1String("://")) ? LineKind::unknown : LineKind::serial;
}

QString lineNameProblem(const QString& name)
{
    const std::string text = name.toStdString();
    try {
        switch (lineKindOf(name)) {
        case LineKind::serial: return {};
        case LineKind::socket: lineaddress::parseSource(text); return {};
        case LineKind::mqtt: lineaddress::parseMqtt(text, true); return {};
        case LineKind::unknown: break;
        }
    } catch (const lineaddress::AddressError& error) {
        return QString::fromStdString(error.what());
    }
    return QStringLiteral("cannot use %1: no source is named %2:// (write a device path, tcp://HOST:PORT, "
                          "udp://[ADDRESS]:PORT, mqtt://HOST/TOPIC or mqtts://HOST/TOPIC)")
        .arg(name, name.section(QLatin1String("://"), 0, 0));
}

std::unique_ptr<LineControl> makeLine(int commPort, const QString& name)
{
    switch (lineKindOf(name)) {
    case LineKind::mqtt: {
        auto mqtt = std::make_unique<MqttComm>();
        mqtt->setAddress(name);
        return mqtt;
    }
    case LineKind::socket: {
        auto net = std::make_unique<NetComm>();
        net->setAddress(name);
        return net;
    }
    case LineKind::serial: {
        auto serial = std::make_unique<MSComm>();
        serial->setCommPort(commPort);
        if (!name.isEmpty())
            serial->setDevicePath(name);
        return serial;
    }
    case LineKind::unknown: break;
    }
    throw LineOpenError(lineNameProblem(name).toStdString());
}

std::unique_ptr<LineControl> makeReplay(const QString& path, double framesPerSecond)
{
    auto replay = std::make_unique<ReplayComm>();
    replay->setCapture(path, framesPerSecond);
    return replay;
}
