#pragma once
// A vector picture: the list of drawing primitives a graph or a diagram records, in
// control pixels (origin top left, y downwards). The same list is written as WMF or
// SVG and painted by the render library for the screen and for PNG files, so every
// output shows the same drawing.
//
// Pixel conventions shared by every writer and painter:
//  - a polyline point (x, y) is the centre of pixel (x, y): a 1-pixel line through
//    integer points covers exactly those pixels;
//  - a filled rectangle (left, top, right, bottom) covers pixels left <= x < right,
//    top <= y < bottom; an image is stretched (nearest neighbour) over such a rectangle;
//  - FrameRect(left, top, right, bottom) outlines pixels left … right−1, top … bottom−1;
//  - text is anchored at its baseline, left, centre or right of the anchor point;
//  - a clip rectangle (same half-open convention) holds until the next clip command.
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace ksn {

// Colours as the component properties hold them: 0x00BBGGRR (red in the low byte);
// -1 means "no colour" (no fill).
using TColor = std::int32_t;
constexpr TColor kNoColor = -1;
constexpr TColor kBlack = 0x000000;
constexpr TColor kWhite = 0xFFFFFF;
constexpr TColor RGBColor(int r, int g, int b) { return TColor(r & 0xFF) | TColor(g & 0xFF) << 8 | TColor(b & 0xFF) << 16; }
constexpr int RedOf(TColor c) { return c & 0xFF; }
constexpr int GreenOf(TColor c) { return (c >> 8) & 0xFF; }
constexpr int BlueOf(TColor c) { return (c >> 16) & 0xFF; }

struct TRgb {
    std::uint8_t r = 0, g = 0, b = 0;
    friend bool operator==(const TRgb&, const TRgb&) = default;
};
constexpr TColor ColorOf(TRgb c) { return RGBColor(c.r, c.g, c.b); }

enum class TLineStyle { solid, dotted, dashed };

struct TPen {
    TColor color = kBlack;
    int width = 1;
    TLineStyle style = TLineStyle::solid;
    friend bool operator==(const TPen&, const TPen&) = default;
};

struct TFontSpec {
    std::string family = "Times New Roman";
    int pixelSize = 12; // character height in pixels (9 pt at 96 dpi)
    bool bold = false;
    bool serif = true; // the generic family a viewer falls back to
    TColor color = kBlack;
    friend bool operator==(const TFontSpec&, const TFontSpec&) = default;
};

enum class TTextAlign { left, centre, right };

struct TPointD {
    double x = 0, y = 0;
};

struct TPolylinePrim {
    TPen pen;
    std::vector<TPointD> points;
};
struct TFillRectPrim {
    TColor color = kBlack;
    int left = 0, top = 0, right = 0, bottom = 0;
};
struct TTextPrim {
    TFontSpec font;
    double x = 0, y = 0; // baseline anchor
    TTextAlign align = TTextAlign::left;
    std::string text; // UTF-8
};
struct TImagePrim {
    int width = 0, height = 0;
    std::vector<TRgb> pixels; // row by row, row 0 on top
    int left = 0, top = 0, right = 0, bottom = 0;
};
struct TClipPrim {
    bool enabled = false;
    int left = 0, top = 0, right = 0, bottom = 0;
};

using TPrimitive = std::variant<TPolylinePrim, TFillRectPrim, TTextPrim, TImagePrim, TClipPrim>;

class TPicture {
public:
    TPicture() = default;
    TPicture(int width, int height) : myWidth(width), myHeight(height) {}

    int Width() const { return myWidth; }
    int Height() const { return myHeight; }
    void SetSize(int width, int height);
    void Clear() { myPrimitives.clear(); }
    bool Empty() const { return myPrimitives.empty(); }
    const std::vector<TPrimitive>& Primitives() const { return myPrimitives; }

    // Coordinates are clamped to +-2^20 pixels so that a wild value cannot overflow a
    // writer; a non-finite point splits the polyline there.
    void Polyline(const TPen& pen, const std::vector<TPointD>& points);
    void Line(const TPen& pen, double x0, double y0, double x1, double y1);
    void FrameRect(const TPen& pen, int left, int top, int right, int bottom);
    void FillRect(TColor color, int left, int top, int right, int bottom);
    void Text(const TFontSpec& font, double x, double y, TTextAlign align, const std::string& text);
    void Image(int width, int height, std::vector<TRgb> pixels, int left, int top, int right, int bottom);
    void SetClip(int left, int top, int right, int bottom);
    void ClearClip();
    // Appends the other picture's primitives (a clip it leaves on is switched off after it).
    void Append(const TPicture& other);

private:
    int myWidth = 0;
    int myHeight = 0;
    std::vector<TPrimitive> myPrimitives;
};

// Approximate advance width of a text in pixels, for layout without a font engine
// (0.62 em per character, the mean digit advance of common sans and serif faces).
int ApproxTextWidth(const std::string& text, const TFontSpec& font);

} // namespace ksn
