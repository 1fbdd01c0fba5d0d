#pragma once
// Picture of a shown window's client area with everything drawn in it.
#include <QImage>
#include <QString>

class QWidget;

QImage grabWindowImage(QWidget& window);

// Writes the window as PNG or JPEG, as the path's extension names; on
// failure returns false and sets error to one line.
bool saveWindowImage(QWidget& window, const QString& path, QString& error);
