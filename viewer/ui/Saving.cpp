#include "Saving.h"

#include "FrameGrab.h"
#include "GridText.h"
#include "HandlerReport.h"
#include "ViewerHost.h"
#include "ViewerState.h"
#include "VornCtl.h"
#include "WindowImage.h"

#include <QClipboard>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>

namespace meshscope {

Saving::Saving(QWidget& window, VornCtl& viewport, const ViewerState& state, ViewerHost& host)
    : window_(window), viewport_(viewport), state_(state), host_(host)
{
}

// In the working directory the name stays relative: the folder is then
// taken as the bytes it is, also where its name is no text (QDir::currentPath
// would change such bytes).
QString Saving::path(const QString& suffix) const
{
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    const auto inFolder = [this](const QString& name) { return dir_.isEmpty() ? name : QDir(dir_).filePath(name); };
    QString path = inFolder(QStringLiteral("meshscope-%1%2").arg(stamp, suffix));
    // A second save within the same second keeps the first.
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = inFolder(QStringLiteral("meshscope-%1-%2%3").arg(stamp).arg(n).arg(suffix));
    return path;
}

QString Saving::shown(const QString& path)
{
    return QDir::current().absoluteFilePath(path);
}

// The window may just have been uncovered (by the menu, say): the picture is
// taken once the viewport has presented a frame since.
void Saving::whenPictureShown(const QString& failed, const std::function<void(const QImage&)>& use)
{
    vorn::grabWhenShown(window_, &viewport_, &VornCtl::framePresented, use, [this, failed] {
        host_.reportProblem(QStringLiteral("%1: no frame was shown within %2 s (check the X display and OpenGL)")
                                .arg(failed)
                                .arg(vorn::kFrameWaitMs / 1000)
                                .toStdString());
    });
    viewport_.RequestRedraw();
}

void Saving::savePicture()
{
    whenPictureShown(QStringLiteral("cannot save the picture"), [this](const QImage& picture) {
        const QString path = this->path(QStringLiteral(".png"));
        const QString failure = writeImageFile(picture, path, "png");
        if (failure.isEmpty()) {
            vorn::reportNotice(QStringLiteral("saved the picture to %1").arg(shown(path)));
            done(QStringLiteral("Saved the picture to %1").arg(shown(path)));
        } else {
            host_.reportProblem(
                QStringLiteral("cannot save the picture to %1: %2 (choose a writable folder with --save-dir)")
                    .arg(shown(path), failure)
                    .toStdString());
        }
    });
}

void Saving::saveGrid()
{
    saveGrid(state_);
}

void Saving::saveGrid(const ViewerState& drawn)
{
    const std::string text = gridText(drawn.heights, drawn.drawMinX, drawn.drawMaxX, drawn.drawMinY, drawn.drawMaxY);
    const QString path = this->path(QStringLiteral("-grid.txt"));
    const QString failure = writeFileWhole(path, QByteArray::fromStdString(text));
    if (failure.isEmpty()) {
        vorn::reportNotice(QStringLiteral("saved the grid to %1").arg(shown(path)));
        done(QStringLiteral("Saved the grid to %1").arg(shown(path)));
        return;
    }
    host_.reportProblem(QStringLiteral("cannot save the grid to %1: %2 (choose a writable folder with --save-dir)")
                            .arg(shown(path), failure)
                            .toStdString());
}

void Saving::copyPicture()
{
    whenPictureShown(QStringLiteral("cannot copy the picture"), [this](const QImage& picture) {
        QGuiApplication::clipboard()->setImage(picture);
        done(QStringLiteral("Copied the picture to the clipboard"));
    });
}

void Saving::done(const QString& said) const
{
    if (done_)
        done_(said);
}

} // namespace meshscope
