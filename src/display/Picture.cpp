#include "display/Picture.h"

#include <algorithm>
#include <cmath>

namespace ksn {

namespace {

constexpr double kCoordinateLimit = 1 << 20;

double Clamp(double v) { return std::clamp(v, -kCoordinateLimit, kCoordinateLimit); }
int Clamp(int v) { return std::clamp(v, -(1 << 20), 1 << 20); }

} // namespace

void TPicture::SetSize(int width, int height)
{
    myWidth = std::max(0, width);
    myHeight = std::max(0, height);
}

void TPicture::Polyline(const TPen& pen, const std::vector<TPointD>& points)
{
    TPolylinePrim run{pen, {}};
    const auto flush = [&] {
        if (run.points.size() >= 2)
            myPrimitives.emplace_back(run);
        run.points.clear();
    };
    for (const TPointD& p : points) {
        if (!std::isfinite(p.x) || !std::isfinite(p.y)) {
            flush();
            continue;
        }
        run.points.push_back({Clamp(p.x), Clamp(p.y)});
    }
    flush();
}

void TPicture::Line(const TPen& pen, double x0, double y0, double x1, double y1)
{
    Polyline(pen, {{x0, y0}, {x1, y1}});
}

void TPicture::FrameRect(const TPen& pen, int left, int top, int right, int bottom)
{
    const double r = right - 1, b = bottom - 1;
    Polyline(pen, {{double(left), double(top)}, {r, double(top)}, {r, b}, {double(left), b}, {double(left), double(top)}});
}

void TPicture::FillRect(TColor color, int left, int top, int right, int bottom)
{
    if (color == kNoColor || right <= left || bottom <= top)
        return;
    myPrimitives.emplace_back(TFillRectPrim{color, Clamp(left), Clamp(top), Clamp(right), Clamp(bottom)});
}

void TPicture::Text(const TFontSpec& font, double x, double y, TTextAlign align, const std::string& text)
{
    if (text.empty() || !std::isfinite(x) || !std::isfinite(y))
        return;
    myPrimitives.emplace_back(TTextPrim{font, Clamp(x), Clamp(y), align, text});
}

void TPicture::Image(int width, int height, std::vector<TRgb> pixels, int left, int top, int right, int bottom)
{
    if (width < 1 || height < 1 || pixels.size() != size_t(width) * size_t(height) || right <= left || bottom <= top)
        return;
    myPrimitives.emplace_back(
        TImagePrim{width, height, std::move(pixels), Clamp(left), Clamp(top), Clamp(right), Clamp(bottom)});
}

void TPicture::SetClip(int left, int top, int right, int bottom)
{
    myPrimitives.emplace_back(TClipPrim{true, Clamp(left), Clamp(top), Clamp(right), Clamp(bottom)});
}

void TPicture::ClearClip() { myPrimitives.emplace_back(TClipPrim{}); }

void TPicture::Append(const TPicture& other)
{
    bool clipped = false;
    for (const TPrimitive& p : other.myPrimitives) {
        myPrimitives.push_back(p);
        if (const auto* clip = std::get_if<TClipPrim>(&p))
            clipped = clip->enabled;
    }
    if (clipped)
        ClearClip();
}

int ApproxTextWidth(const std::string& text, const TFontSpec& font)
{
    // Count code points, not bytes, so that "µ" is one character.
    int characters = 0;
    for (unsigned char c : text)
        if ((c & 0xC0) != 0x80)
            ++characters;
    return int(std::ceil(characters * 0.62 * font.pixelSize));
}

} // namespace ksn
