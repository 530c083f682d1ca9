#pragma once
// Paints the display models' pictures with Qt's QPainter. The command-line program
// renders them into PNG files and the desktop program into its widgets, so the window
// shows what the file holds.
#include "display/Picture.h"

#include <QImage>
#include <QPainter>

#include <string>

namespace ksn::render {

// For a program without windows (ksn): selects Qt's offscreen platform and creates the
// application object that fonts and text painting need, once. Does nothing when an
// application object exists already.
void StartOffscreenApplication();

// Paints every primitive in order with the picture's pixel conventions (lines through
// pixel centres, half-open rectangles, baseline-anchored text, nearest-neighbour
// images).
void PaintPicture(QPainter& painter, const TPicture& picture);

// The picture on a transparent image of its size.
QImage RenderPicture(const TPicture& picture);

bool WritePicturePng(const std::string& path, const TPicture& picture);

// The PNG file's bytes of the picture (empty when it cannot be encoded), for writers
// that check what they store (TOutputFolder).
std::string EncodePicturePng(const TPicture& picture);

} // namespace ksn::render
