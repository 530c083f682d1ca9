#pragma once
// A false-colour diagram on the screen: the widget holds the diagram model and paints
// the model's picture with the render library, so the window shows exactly what a PNG
// of the same model holds. A left click reports the read-out of the cell under the
// mouse, a move the short read-out, and a right click toggles the cross-hair.
#include "display/VellDiagram.h"

#include <QImage>
#include <QWidget>

namespace ksn::gui {

class TDiagramWidget : public QWidget {
    Q_OBJECT
public:
    explicit TDiagramWidget(TReadOut readOut, QWidget* parent = nullptr);

    TVellDiagram& Model() { return myModel; }
    const TVellDiagram& Model() const { return myModel; }
    // After the model changed: records its picture, takes its size and repaints.
    void ModelChanged();
    const TPicture& Picture() const { return myPicture; }
    // The picture as the render library paints it into an image (and a PNG file).
    QImage RenderedImage() const;
    // Places the rendered picture on the clipboard as a bitmap.
    void CopyToClipboard() const;

    // How long the last paint took, in milliseconds (it paces the window's refreshes).
    double LastPaintMs() const { return myPaintMs; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

signals:
    // Mouse down: "Amplitude @ (c,r) - (x, y): v" and the like; nothing outside the image.
    void ReadOut(const QString& text);
    // Mouse move: "x = …, y = …, v = …"; empty outside the image.
    void MoveReadOut(const QString& text);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    TReadOut myReadOut;
    TVellDiagram myModel;
    TPicture myPicture;
    double myPaintMs = 0;
};

} // namespace ksn::gui
