#include "DiagramWidget.h"

#include "render/PictureRender.h"

#include <QClipboard>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>

namespace ksn::gui {

TDiagramWidget::TDiagramWidget(TReadOut readOut, QWidget* parent) : QWidget(parent), myReadOut(readOut)
{
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    ModelChanged();
}

void TDiagramWidget::ModelChanged()
{
    myPicture = myModel.Draw();
    const QSize size(myPicture.Width(), myPicture.Height());
    if (size != this->size()) {
        setFixedSize(size);
        updateGeometry();
    }
    update();
}

QImage TDiagramWidget::RenderedImage() const { return render::RenderPicture(myPicture); }

void TDiagramWidget::CopyToClipboard() const { QGuiApplication::clipboard()->setImage(RenderedImage()); }

QSize TDiagramWidget::sizeHint() const { return QSize(myPicture.Width(), myPicture.Height()); }

void TDiagramWidget::paintEvent(QPaintEvent*)
{
    QElapsedTimer clock;
    clock.start();
    QPainter painter(this);
    render::PaintPicture(painter, myPicture);
    myPaintMs = clock.nsecsElapsed() * 1e-6;
}

void TDiagramWidget::mousePressEvent(QMouseEvent* event)
{
    const QPoint p = event->position().toPoint();
    if (event->button() == Qt::RightButton) {
        // The cross-hair appears through the clicked point and disappears on the next
        // right click.
        if (!myModel.GetMarkVisible()) {
            double x = 0, y = 0;
            myModel.PixelToAxis(p.x(), p.y(), x, y);
            myModel.SetMark(x, y);
        }
        myModel.SetMarkVisible(!myModel.GetMarkVisible());
        ModelChanged();
        return;
    }
    if (event->button() == Qt::LeftButton) {
        const std::string text = myModel.ReadOutText(myReadOut, p.x(), p.y());
        if (!text.empty())
            emit ReadOut(QString::fromStdString(text));
    }
}

void TDiagramWidget::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint p = event->position().toPoint();
    emit MoveReadOut(QString::fromStdString(myModel.MoveText(p.x(), p.y())));
}

void TDiagramWidget::leaveEvent(QEvent*) { emit MoveReadOut(QString()); }

} // namespace ksn::gui
