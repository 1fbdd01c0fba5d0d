#pragma once

#include <QString>

#include <functional>
#include <utility>

class QImage;
class QWidget;
class VornCtl;

namespace meshscope {

class ViewerHost;
struct ViewerState;

// What the window saves: the picture as the screen shows it to a time-stamped
// PNG, the drawn grid as meshgrid writes it, and the picture to the
// clipboard. Pictures are taken once the viewport's next frame is on the
// screen. A save done is a notice; a failure is the host's problem.
class Saving {
public:
    Saving(QWidget& window, VornCtl& viewport, const ViewerState& state, ViewerHost& host);

    // The folder the files go to; empty: the working directory.
    void setDir(const QString& dir) { dir_ = dir; }
    // Told each save or copy done, in a line for the window ("Saved the grid to PATH").
    void setOnDone(std::function<void(const QString&)> done) { done_ = std::move(done); }

    void savePicture();
    void saveGrid();
    // The grid of drawn, a state the paint draws instead (a frozen frame).
    void saveGrid(const ViewerState& drawn);
    void copyPicture();

private:
    // A new file's path: "meshscope-" with the date and time, then suffix.
    QString path(const QString& suffix) const;
    // path as messages show it, from the root.
    static QString shown(const QString& path);
    void whenPictureShown(const QString& failed, const std::function<void(const QImage&)>& use);

    QWidget& window_;
    VornCtl& viewport_;
    const ViewerState& state_;
    ViewerHost& host_;
    void done(const QString& said) const;

    QString dir_;
    std::function<void(const QString&)> done_;
};

} // namespace meshscope
