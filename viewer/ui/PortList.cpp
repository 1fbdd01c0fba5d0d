#include "PortList.h"

#include <QSerialPortInfo>

namespace meshscope {

QStringList serialPortLines()
{
    QStringList lines;
    for (const QSerialPortInfo& port : QSerialPortInfo::availablePorts()) {
        QStringList known;
        if (!port.description().isEmpty())
            known << port.description();
        if (!port.manufacturer().isEmpty())
            known << QStringLiteral("made by ") + port.manufacturer();
        if (!port.serialNumber().isEmpty())
            known << QStringLiteral("serial number ") + port.serialNumber();
        QString line = port.systemLocation();
        if (!known.isEmpty())
            line += QStringLiteral(": ") + known.join(QStringLiteral(", "));
        lines << line;
    }
    return lines;
}

} // namespace meshscope
