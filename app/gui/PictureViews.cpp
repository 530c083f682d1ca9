#include "PictureViews.h"

#include "config/Messages.h"
#include "display/SvgWriter.h"
#include "render/PictureRender.h"

#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QPainter>

#include <algorithm>

namespace ksn::gui {

namespace {
const TFontSpec kGraphFont{"Times New Roman", 12, false, true, kBlack};
const TFontSpec kGraphTitleFont{"Times New Roman", 14, true, true, kBlack};
} // namespace

TGraphView::TGraphView(QWidget* parent) : QWidget(parent)
{
    myGraph.SetMessageHandler([](const std::string& text) { ShowMessage(text); });
    myGraph.SetFont(kGraphFont);
    myGraph.BackGnd().SetTitleFont(kGraphTitleFont);
    myGraph.BackGnd().SetRange(vellgrafx::TBackgndRange::bgAll);
    myGraph.BackGnd().SetColors(kWhite, kWhite);
    myGraph.XAxis().SetGrid(vellgrafx::TGridStyle::gsDotted);
    myGraph.YAxis().SetGrid(vellgrafx::TGridStyle::gsDotted);
    setMinimumSize(240, 160);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void TGraphView::Redraw()
{
    myGraph.FitLayout();
    myGraph.DrawBackground();
    myGraph.ClearForeground();
    if (myGraph.Plot().GetCount() > 0)
        myGraph.DrawPlot();
    update();
}

QImage TGraphView::ToImage() const
{
    QImage image(myGraph.GetWidth(), myGraph.GetHeight(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    render::PaintPicture(painter, myGraph.Compose());
    return image;
}

void TGraphView::CopyToClipboard() const
{
    auto* mime = new QMimeData;
    mime->setData(QStringLiteral("image/svg+xml"), QByteArray::fromStdString(PictureToSvg(myGraph.Compose())));
    mime->setImageData(ToImage());
    QApplication::clipboard()->setMimeData(mime);
}

bool TGraphView::SaveFiles(const std::string& base) const
{
    const TPicture picture = myGraph.Compose();
    bool ok = myGraph.SaveToFile(base + ".wmf");
    ok = WriteSvg(base + ".svg", picture) && ok;
    ok = ToImage().save(QString::fromStdString(base + ".png"), "PNG") && ok;
    return ok;
}

void TGraphView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    render::PaintPicture(painter, myGraph.Compose());
}

void TGraphView::resizeEvent(QResizeEvent*)
{
    myGraph.SetSize(width(), height());
    Redraw();
}

TDiagramView::TDiagramView(QWidget* parent) : QWidget(parent)
{
    myDiagram.SetBgColor(kWhite);
    myDiagram.SetWithBar(true);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void TDiagramView::Redraw()
{
    myDiagram.FitLayout();
    updateGeometry();
    update();
}

QSize TDiagramView::sizeHint() const { return {std::max(240, myDiagram.GetWidth()), std::max(160, myDiagram.GetHeight())}; }

QImage TDiagramView::ToImage() const
{
    return render::RenderPicture(myDiagram.Draw());
}

void TDiagramView::CopyToClipboard() const { QApplication::clipboard()->setImage(ToImage()); }

bool TDiagramView::SavePng(const std::string& path) const { return render::WritePicturePng(path, myDiagram.Draw()); }

void TDiagramView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    render::PaintPicture(painter, myDiagram.Draw());
}

} // namespace ksn::gui
