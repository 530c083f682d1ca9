#pragma once
// An x-y graph on the screen: the widget holds the graph model and paints its composed
// picture (background, axes, curve, cross-hair) with the render library, as a PNG of
// the same model shows it.
#include "display/VellGrafX.h"

#include <QImage>
#include <QWidget>

namespace ksn::gui {

class TGraphWidget : public QWidget {
    Q_OBJECT
public:
    explicit TGraphWidget(QWidget* parent = nullptr);

    vellgrafx::TVellGrafX& Model() { return myModel; }
    const vellgrafx::TVellGrafX& Model() const { return myModel; }
    // After the model changed: draws background and curve anew, takes the size, repaints.
    void ModelChanged();
    const TPicture& Picture() const { return myPicture; }
    QImage RenderedImage() const;
    void CopyToClipboard() const;

    // How long the last paint took, in milliseconds (it paces the window's refreshes).
    double LastPaintMs() const { return myPaintMs; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    vellgrafx::TVellGrafX myModel;
    TPicture myPicture;
    double myPaintMs = 0;
};

} // namespace ksn::gui
