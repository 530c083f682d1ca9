#pragma once
// Widgets that show the display models: an x-y graph (TVellGrafX) and a false-colour
// diagram (TVellDiagram). Both paint the picture the model records with the render
// library, so the screen shows what the saved files and the clipboard hold.
#include "display/VellDiagram.h"
#include "display/VellGrafX.h"

#include <QImage>
#include <QWidget>

#include <string>

namespace ksn::gui {

class TGraphView : public QWidget {
    Q_OBJECT
public:
    explicit TGraphView(QWidget* parent = nullptr);

    vellgrafx::TVellGrafX& Graph() { return myGraph; }
    const vellgrafx::TVellGrafX& Graph() const { return myGraph; }
    // Records the pictures anew (background, then the curve) and repaints.
    void Redraw();
    QImage ToImage() const;
    // The composed picture on the clipboard as a vector picture (image/svg+xml) and as
    // a bitmap.
    void CopyToClipboard() const;
    // <base>.wmf, <base>.svg and <base>.png; false when one could not be written.
    bool SaveFiles(const std::string& base) const;
    QSize sizeHint() const override { return {420, 300}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    vellgrafx::TVellGrafX myGraph;
};

class TDiagramView : public QWidget {
    Q_OBJECT
public:
    explicit TDiagramView(QWidget* parent = nullptr);

    TVellDiagram& Diagram() { return myDiagram; }
    const TVellDiagram& Diagram() const { return myDiagram; }
    // Lays the control out around the zoomed image and repaints.
    void Redraw();
    QImage ToImage() const;
    void CopyToClipboard() const; // as a bitmap
    bool SavePng(const std::string& path) const;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    TVellDiagram myDiagram;
};

} // namespace ksn::gui
