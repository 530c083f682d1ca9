#include "render/PictureRender.h"

#include <QBuffer>
#include <QByteArray>
#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPen>
#include <QPolygonF>

#include <cstdio>
#include <cstring>
#include <variant>

namespace ksn::render {

namespace {

QColor ToQColor(TColor c) { return QColor(RedOf(c), GreenOf(c), BlueOf(c)); }

QFont ToQFont(const TFontSpec& spec)
{
    QFont font(QString::fromStdString(spec.family));
    font.setPixelSize(std::max(1, spec.pixelSize));
    font.setBold(spec.bold);
    font.setStyleHint(spec.serif ? QFont::Serif : QFont::SansSerif);
    return font;
}

class TPainterVisitor {
public:
    explicit TPainterVisitor(QPainter& painter) : myPainter(painter) {}

    void operator()(const TPolylinePrim& p)
    {
        QPen pen(ToQColor(p.pen.color), std::max(1, p.pen.width));
        if (p.pen.style == TLineStyle::solid) {
            pen.setCapStyle(Qt::SquareCap);
        } else {
            pen.setCapStyle(Qt::FlatCap);
            pen.setDashPattern(p.pen.style == TLineStyle::dotted ? QList<qreal>{1, 2} : QList<qreal>{4, 2});
        }
        pen.setJoinStyle(Qt::MiterJoin);
        myPainter.setPen(pen);
        QPolygonF line;
        line.reserve(qsizetype(p.points.size()));
        for (const TPointD& q : p.points)
            line << QPointF(q.x + 0.5, q.y + 0.5);
        // Axis-parallel lines (frames, ticks, grid lines) through pixel centres cover
        // whole pixels: drawn without antialiasing their corners are full as well. Other
        // lines (curves) are smoothed.
        bool parallel = true;
        for (qsizetype i = 1; i < line.size() && parallel; ++i)
            parallel = line[i].x() == line[i - 1].x() || line[i].y() == line[i - 1].y();
        myPainter.setRenderHint(QPainter::Antialiasing, !parallel);
        myPainter.drawPolyline(line);
    }
    void operator()(const TFillRectPrim& p)
    {
        myPainter.fillRect(QRect(p.left, p.top, p.right - p.left, p.bottom - p.top), ToQColor(p.color));
    }
    void operator()(const TTextPrim& p)
    {
        const QFont font = ToQFont(p.font);
        const QString text = QString::fromUtf8(p.text.data(), qsizetype(p.text.size()));
        const qreal width = QFontMetricsF(font).horizontalAdvance(text);
        const qreal x = p.align == TTextAlign::centre ? p.x - width / 2 : p.align == TTextAlign::right ? p.x - width : p.x;
        myPainter.setFont(font);
        myPainter.setPen(ToQColor(p.font.color));
        myPainter.drawText(QPointF(x, p.y), text);
    }
    void operator()(const TImagePrim& p)
    {
        QImage image(p.width, p.height, QImage::Format_RGB888);
        for (int row = 0; row < p.height; ++row)
            std::memcpy(image.scanLine(row), p.pixels.data() + size_t(row) * size_t(p.width), size_t(p.width) * 3);
        myPainter.drawImage(QRect(p.left, p.top, p.right - p.left, p.bottom - p.top), image);
    }
    void operator()(const TClipPrim& p)
    {
        if (p.enabled)
            myPainter.setClipRect(QRect(p.left, p.top, p.right - p.left, p.bottom - p.top));
        else
            myPainter.setClipping(false);
    }

private:
    QPainter& myPainter;
};

static_assert(sizeof(TRgb) == 3, "image rows are copied as packed RGB bytes");

} // namespace

void StartOffscreenApplication()
{
    if (QCoreApplication::instance())
        return;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Qt's notes about the missing desktop session (runtime directory, …) are no
    // business of a command-line user; critical messages still reach stderr.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (type == QtCriticalMsg || type == QtFatalMsg)
            std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    });
    // Qt keeps argc and argv for the application's lifetime. The application is never
    // destroyed: at static destruction Qt's own globals may be gone already.
    static int argc = 1;
    static char name[] = "ksn";
    static char* argv[] = {name, nullptr};
    static QGuiApplication* application = new QGuiApplication(argc, argv);
    (void)application;
}

void PaintPicture(QPainter& painter, const TPicture& picture)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    TPainterVisitor visitor(painter);
    for (const TPrimitive& p : picture.Primitives())
        std::visit(visitor, p);
    painter.restore();
}

QImage RenderPicture(const TPicture& picture)
{
    QImage image(std::max(1, picture.Width()), std::max(1, picture.Height()), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    PaintPicture(painter, picture);
    painter.end();
    return image;
}

bool WritePicturePng(const std::string& path, const TPicture& picture)
{
    return RenderPicture(picture).save(QString::fromStdString(path), "PNG");
}

std::string EncodePicturePng(const TPicture& picture)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly) || !RenderPicture(picture).save(&buffer, "PNG"))
        return {};
    return std::string(bytes.constData(), size_t(bytes.size()));
}

} // namespace ksn::render
