#pragma once
// Shows the examples window on the X display and reads back what it shows.
#include "Form1.h"

#include <QApplication>
#include <QImage>
#include <QRect>

#include <memory>

QApplication& testApplication();

// A shown Form1 whose four viewports have each presented a frame.
std::unique_ptr<Form1> showForm();
// Waits until each viewport has presented one more frame after `trigger` ran.
bool waitForFrames(Form1& form, const std::function<void()>& trigger);

// The window's client area as the X server shows it.
QImage grabScreen(Form1& form);

// The part of a window image that one child widget covers.
QImage part(const QImage& window, const QWidget& child);
// A rectangle in the window's logical pixels as the image's (device) pixels.
QRect onPicture(const QImage& window, QRect logical);
