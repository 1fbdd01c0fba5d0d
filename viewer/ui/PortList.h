#pragma once

#include <QStringList>

namespace meshscope {

// One line per serial port the system reports: its path, then its
// description, maker and serial number where they are known.
QStringList serialPortLines();

} // namespace meshscope
