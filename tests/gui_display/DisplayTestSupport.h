#pragma once
// Grids, arrays, typing and clicking for the display-window tests.
#include "config/Records.h"
#include "display/VellDiagram.h"
#include "numerics/ComplexArray.h"

#include <QImage>
#include <QLineEdit>
#include <QTest>
#include <QWidget>

#include <functional>
#include <string>
#include <vector>

namespace ksn::test {

// A grid in micrometres.
inline TGridParms Grid(int nx, int ny, int nz, double dx, double dy, double dz)
{
    TGridParms g;
    g.nx = nx;
    g.ny = ny;
    g.nz = nz;
    g.dx = dx;
    g.dy = dy;
    g.dz = dz;
    g.X = nx * dx;
    g.Y = ny * dy;
    g.Z = nz * dz;
    g.scaleFactor = 1e-6;
    return g;
}

inline TComplexArray MakeArray(int nx, int ny, const std::function<TComplex(int, int)>& value)
{
    TComplexArray a(nx, ny);
    for (int y = 0; y < ny; ++y)
        for (int x = 0; x < nx; ++x)
            a.SetAt(x, y, value(x, y));
    return a;
}

struct TMessages {
    std::vector<std::string> texts;
    std::function<void(const std::string&)> Handler()
    {
        return [this](const std::string& text) { texts.push_back(text); };
    }
    // The messages since the last call.
    std::vector<std::string> Take()
    {
        std::vector<std::string> out;
        out.swap(texts);
        return out;
    }
};

// Types the text into the named edit and presses Return, as a user does.
inline void Type(QWidget* window, const char* editName, const QString& text)
{
    auto* edit = window->findChild<QLineEdit*>(editName);
    QVERIFY2(edit, editName);
    edit->setText(text);
    QTest::keyClick(edit, Qt::Key_Return);
}

inline QImage Grab(QWidget* widget) { return widget->grab().toImage().convertToFormat(QImage::Format_RGB32); }

// The control pixel at the middle of data cell (column, row), row 0 at the bottom
// (a y axis that rises).
inline QPoint CellCentre(const TVellDiagram& d, int column, int row)
{
    const int zoom = d.GetZoom();
    return QPoint(d.GetLBoarder() + column * zoom + zoom / 2,
        d.GetTBoarder() + (d.GetBmpHeight() - 1 - row) * zoom + zoom / 2);
}

inline QRgb Rgb(TRgb c) { return qRgb(c.r, c.g, c.b); }

} // namespace ksn::test
