#pragma once

#include <QString>

namespace meshscope {

class frmVimo;

// Once delayMs have passed, waits for the viewport's next presented frame,
// writes the whole window to path as PNG or JPEG, as its extension names, and
// quits the application: exit code 0 when written, 1 (with a line on
// standard error) when not.
void takeScreenshotWhenShown(frmVimo& window, const QString& path, int delayMs);

} // namespace meshscope
