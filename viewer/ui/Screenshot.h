#pragma once

#include <QString>

namespace meshscope {

class frmVimo;

// Once delayMs have passed, waits for the viewport's next presented frame,
// writes the whole window to path as PNG or JPEG, as its extension names, and
// quits the application: exit code 0 when written, 1 (with a line on
// standard error) when not. With waitForLineFrame (a port or a capture was
// named) the delay starts once the line's first frame is taken, so the
// picture shows the line rather than the data file.
void takeScreenshotWhenShown(frmVimo& window, const QString& path, int delayMs, bool waitForLineFrame = false);

} // namespace meshscope
