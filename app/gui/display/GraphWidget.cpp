#include "GraphWidget.h"

#include "render/PictureRender.h"

#include <QClipboard>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>

namespace ksn::gui {

TGraphWidget::TGraphWidget(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    // A white control: the picture covers every pixel, so the clipboard bitmap and a
    // PNG need no window behind them.
    myModel.BackGnd().SetRange(vellgrafx::TBackgndRange::bgAll);
    myModel.BackGnd().SetStyle(vellgrafx::TBackgndStyle::bgSolid);
    myModel.BackGnd().SetColors(kWhite, myModel.BackGnd().GetColor2());
    ModelChanged();
}

void TGraphWidget::ModelChanged()
{
    myModel.DrawBackground();
    myModel.ClearForeground();
    if (myModel.Plot().GetCount() > 0)
        myModel.DrawPlot();
    myModel.DrawCrossHair();
    myPicture = myModel.Compose();
    const QSize size(myPicture.Width(), myPicture.Height());
    if (size != this->size()) {
        setFixedSize(size);
        updateGeometry();
    }
    update();
}

QImage TGraphWidget::RenderedImage() const { return render::RenderPicture(myPicture); }

void TGraphWidget::CopyToClipboard() const { QGuiApplication::clipboard()->setImage(RenderedImage()); }

QSize TGraphWidget::sizeHint() const { return QSize(myPicture.Width(), myPicture.Height()); }

void TGraphWidget::paintEvent(QPaintEvent*)
{
    QElapsedTimer clock;
    clock.start();
    QPainter painter(this);
    render::PaintPicture(painter, myPicture);
    myPaintMs = clock.nsecsElapsed() * 1e-6;
}

// A right click toggles the cross-hair through the clicked point.
void TGraphWidget::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::RightButton)
        return;
    if (!myModel.GetMarkVisible()) {
        const QPoint p = event->position().toPoint();
        myModel.SetMark(myModel.XAxis().PixelToValue(p.x()), myModel.YAxis().PixelToValue(p.y()));
    }
    myModel.SetMarkVisible(!myModel.GetMarkVisible());
    ModelChanged();
}

} // namespace ksn::gui
