#include "display/WmfWriter.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <map>
#include <optional>
#include <tuple>

namespace ksn {

namespace {

// Record functions and constants of the metafile format.
enum : std::uint16_t {
    kEof = 0x0000,
    kSetBkMode = 0x0102,
    kSetMapMode = 0x0103,
    kSelectObject = 0x012D,
    kSetTextAlign = 0x012E,
    kDeleteObject = 0x01F0,
    kSetTextColor = 0x0209,
    kSetWindowOrg = 0x020B,
    kSetWindowExt = 0x020C,
    kCreatePenIndirect = 0x02FA,
    kCreateFontIndirect = 0x02FB,
    kCreateBrushIndirect = 0x02FC,
    kPolyline = 0x0325,
    kRectangle = 0x041B,
    kTextOut = 0x0521,
};
constexpr std::uint16_t kPsSolid = 0, kPsDash = 1, kPsDot = 2, kPsNull = 5;
constexpr std::uint16_t kBsSolid = 0;
constexpr std::uint16_t kTaBaseline = 24, kTaCenter = 6, kTaRight = 2;
constexpr std::uint16_t kMmAnisotropic = 8, kTransparent = 1;

struct TRect {
    double left, top, right, bottom; // inclusive pixel centres
};

// Liang-Barsky: cuts segment a-b to the rectangle; false when nothing is left.
bool ClipSegment(TPointD& a, TPointD& b, const TRect& r)
{
    double t0 = 0, t1 = 1;
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {a.x - r.left, r.right - a.x, a.y - r.top, r.bottom - a.y};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0) {
            if (q[i] < 0)
                return false;
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0)
            t0 = std::max(t0, t);
        else
            t1 = std::min(t1, t);
        if (t0 > t1)
            return false;
    }
    const TPointD a0 = a;
    a = {a0.x + t0 * dx, a0.y + t0 * dy};
    b = {a0.x + t1 * dx, a0.y + t1 * dy};
    return true;
}

// Latin-1 range of a UTF-8 text as the metafile's single-byte text; other characters
// become '?'.
std::string ToLatin1(const std::string& utf8)
{
    std::string out;
    for (size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (c < 0x80) {
            out += char(c);
        } else if ((c & 0xE0) == 0xC0 && i + 1 < utf8.size()) {
            const unsigned code = (c & 0x1Fu) << 6 | (static_cast<unsigned char>(utf8[i + 1]) & 0x3Fu);
            out += code < 0x100 ? char(code) : '?';
            ++i;
        } else if ((c & 0xC0) != 0x80) {
            out += '?';
        }
    }
    return out;
}

class TWmfBuilder {
public:
    explicit TWmfBuilder(const TPicture& picture) : myPicture(picture)
    {
        myClip = Bounds();
        Record(kSetMapMode, {kMmAnisotropic});
        Record(kSetWindowOrg, {0, 0});
        Record(kSetWindowExt, {Word(picture.Height()), Word(picture.Width())});
        Record(kSetBkMode, {kTransparent});
    }

    void Add(const TPrimitive& primitive)
    {
        std::visit([this](const auto& p) { Draw(p); }, primitive);
    }

    std::vector<std::uint8_t> Finish()
    {
        Record(kEof, {});
        std::vector<std::uint8_t> out;
        // Placeable header: key, handle, bounding box, units per inch, reserved, checksum
        // (XOR of the ten words before it).
        std::vector<std::uint16_t> header{0xCDD7, 0x9AC6, 0, 0, 0, Word(myPicture.Width()), Word(myPicture.Height()),
            96, 0, 0};
        std::uint16_t checksum = 0;
        for (std::uint16_t w : header)
            checksum ^= w;
        header.push_back(checksum);
        for (std::uint16_t w : header)
            Put16(out, w);
        // Metafile header: type 1 (memory), 9 words, version 0x0300, size in words,
        // number of objects, largest record in words, no parameters.
        const std::uint32_t sizeWords = 9 + std::uint32_t(myRecords.size() / 2);
        Put16(out, 1);
        Put16(out, 9);
        Put16(out, 0x0300);
        Put32(out, sizeWords);
        Put16(out, std::uint16_t(myObjectSlots.size()));
        Put32(out, myMaxRecordWords);
        Put16(out, 0);
        out.insert(out.end(), myRecords.begin(), myRecords.end());
        return out;
    }

private:
    static std::uint16_t Word(long v) { return std::uint16_t(std::int16_t(std::clamp(v, -32768L, 32767L))); }
    static std::uint16_t Coordinate(double v) { return Word(std::lround(std::clamp(v, -32768.0, 32767.0))); }
    static void Put16(std::vector<std::uint8_t>& out, std::uint16_t w)
    {
        out.push_back(std::uint8_t(w & 0xFF));
        out.push_back(std::uint8_t(w >> 8));
    }
    static void Put32(std::vector<std::uint8_t>& out, std::uint32_t v)
    {
        Put16(out, std::uint16_t(v & 0xFFFF));
        Put16(out, std::uint16_t(v >> 16));
    }

    void Record(std::uint16_t function, const std::vector<std::uint16_t>& words)
    {
        const std::uint32_t size = 3 + std::uint32_t(words.size());
        myMaxRecordWords = std::max(myMaxRecordWords, size);
        Put32(myRecords, size);
        Put16(myRecords, function);
        for (std::uint16_t w : words)
            Put16(myRecords, w);
    }

    TRect Bounds() const { return {0, 0, double(myPicture.Width() - 1), double(myPicture.Height() - 1)}; }

    // Objects live in the lowest free slot; the one being replaced is deleted after
    // the new one is selected, so the table never holds more than a few.
    int CreateObject(std::uint16_t function, const std::vector<std::uint16_t>& words)
    {
        Record(function, words);
        auto it = std::find(myObjectSlots.begin(), myObjectSlots.end(), false);
        if (it == myObjectSlots.end())
            it = myObjectSlots.insert(myObjectSlots.end(), false);
        *it = true;
        return int(it - myObjectSlots.begin());
    }
    void Replace(std::optional<int>& current, int created)
    {
        Record(kSelectObject, {std::uint16_t(created)});
        if (current) {
            Record(kDeleteObject, {std::uint16_t(*current)});
            myObjectSlots[size_t(*current)] = false;
        }
        current = created;
    }
    static std::vector<std::uint16_t> ColorWords(TColor c)
    {
        const std::uint32_t ref = std::uint32_t(c) & 0xFFFFFF; // COLORREF 0x00BBGGRR
        return {std::uint16_t(ref & 0xFFFF), std::uint16_t(ref >> 16)};
    }

    void UsePen(std::uint16_t style, int width, TColor color)
    {
        const auto key = std::make_tuple(style, width, color);
        if (myPen && myPenKey == key)
            return;
        std::vector<std::uint16_t> w{style, Word(width), 0};
        for (std::uint16_t c : ColorWords(color))
            w.push_back(c);
        Replace(myPen, CreateObject(kCreatePenIndirect, w));
        myPenKey = key;
    }
    void UseBrush(TColor color)
    {
        if (myBrush && myBrushColor == color)
            return;
        std::vector<std::uint16_t> w{kBsSolid};
        for (std::uint16_t c : ColorWords(color))
            w.push_back(c);
        w.push_back(0);
        Replace(myBrush, CreateObject(kCreateBrushIndirect, w));
        myBrushColor = color;
    }
    void UseFont(const TFontSpec& font)
    {
        if (myFont && myFontSpec == font)
            return;
        // LOGFONT: height (negative: character height), width, escapement,
        // orientation, weight, then italic, underline, strike-out, charset, output
        // and clip precision, quality, pitch and family as bytes, then the face name.
        std::vector<std::uint16_t> w{Word(-font.pixelSize), 0, 0, 0, std::uint16_t(font.bold ? 700 : 400), 0, 0,
            0x0004 /* output precision 4 (TrueType), clip precision 0 */,
            std::uint16_t(font.serif ? 0x1200 : 0x2200) /* quality 0; roman or swiss, variable pitch */};
        std::string face = font.family.substr(0, 31);
        face.push_back('\0');
        if (face.size() % 2)
            face.push_back('\0');
        for (size_t i = 0; i < face.size(); i += 2)
            w.push_back(std::uint16_t(std::uint8_t(face[i]) | std::uint8_t(face[i + 1]) << 8));
        Replace(myFont, CreateObject(kCreateFontIndirect, w));
        myFontSpec = font;
    }

    void Draw(const TPolylinePrim& p)
    {
        const std::uint16_t style = p.pen.style == TLineStyle::dotted   ? kPsDot
                                    : p.pen.style == TLineStyle::dashed ? kPsDash
                                                                        : kPsSolid;
        UsePen(style, p.pen.width, p.pen.color);
        // Cut every segment to the clip rectangle, joining the pieces that stay
        // connected into one polyline.
        std::vector<TPointD> run;
        const auto flush = [&] {
            for (size_t start = 0; run.size() >= 2 && start + 1 < run.size(); start += 8000) {
                const size_t end = std::min(run.size(), start + 8001);
                std::vector<std::uint16_t> w{std::uint16_t(end - start)};
                for (size_t i = start; i < end; ++i) {
                    w.push_back(Coordinate(run[i].x));
                    w.push_back(Coordinate(run[i].y));
                }
                Record(kPolyline, w);
            }
            run.clear();
        };
        for (size_t i = 0; i + 1 < p.points.size(); ++i) {
            TPointD a = p.points[i], b = p.points[i + 1];
            if (!ClipSegment(a, b, myClip)) {
                flush();
                continue;
            }
            const bool joined = !run.empty() && run.back().x == a.x && run.back().y == a.y;
            if (!joined) {
                flush();
                run.push_back(a);
            }
            run.push_back(b);
            if (b.x != p.points[i + 1].x || b.y != p.points[i + 1].y)
                flush();
        }
        flush();
    }

    void Fill(TColor color, double left, double top, double right, double bottom)
    {
        left = std::max(left, myClip.left);
        top = std::max(top, myClip.top);
        right = std::min(right, myClip.right + 1);
        bottom = std::min(bottom, myClip.bottom + 1);
        if (right <= left || bottom <= top)
            return;
        UseBrush(color);
        UsePen(kPsNull, 0, 0);
        // Without a pen a rectangle fills one pixel less to the right and below.
        Record(kRectangle, {Coordinate(bottom + 1), Coordinate(right + 1), Coordinate(top), Coordinate(left)});
    }

    void Draw(const TFillRectPrim& p) { Fill(p.color, p.left, p.top, p.right, p.bottom); }

    void Draw(const TTextPrim& p)
    {
        if (p.x < myClip.left || p.x > myClip.right || p.y < myClip.top || p.y > myClip.bottom)
            return;
        UseFont(p.font);
        if (!myTextColor || *myTextColor != p.font.color) {
            Record(kSetTextColor, ColorWords(p.font.color));
            myTextColor = p.font.color;
        }
        const std::uint16_t align = kTaBaseline | (p.align == TTextAlign::centre  ? kTaCenter
                                                      : p.align == TTextAlign::right ? kTaRight
                                                                                     : 0);
        if (!myTextAlign || *myTextAlign != align) {
            Record(kSetTextAlign, {align});
            myTextAlign = align;
        }
        std::string text = ToLatin1(p.text).substr(0, 1000);
        const auto length = std::uint16_t(text.size());
        if (text.size() % 2)
            text.push_back('\0');
        std::vector<std::uint16_t> w{length};
        for (size_t i = 0; i < text.size(); i += 2)
            w.push_back(std::uint16_t(std::uint8_t(text[i]) | std::uint8_t(text[i + 1]) << 8));
        w.push_back(Coordinate(p.y));
        w.push_back(Coordinate(p.x));
        Record(kTextOut, w);
    }

    // Each image row becomes rectangles, one per run of equal colour, over the
    // destination pixels that show it (nearest neighbour).
    void Draw(const TImagePrim& p)
    {
        const double sx = double(p.right - p.left) / p.width, sy = double(p.bottom - p.top) / p.height;
        for (int row = 0; row < p.height; ++row) {
            const double y0 = std::round(p.top + row * sy), y1 = std::round(p.top + (row + 1) * sy);
            if (y1 <= y0)
                continue;
            int start = 0;
            for (int col = 1; col <= p.width; ++col) {
                const TRgb& first = p.pixels[size_t(row) * size_t(p.width) + size_t(start)];
                if (col < p.width && p.pixels[size_t(row) * size_t(p.width) + size_t(col)] == first)
                    continue;
                Fill(ColorOf(first), std::round(p.left + start * sx), y0, std::round(p.left + col * sx), y1);
                start = col;
            }
        }
    }

    void Draw(const TClipPrim& p)
    {
        const TRect bounds = Bounds();
        myClip = p.enabled ? TRect{std::max(double(p.left), bounds.left), std::max(double(p.top), bounds.top),
                                   std::min(double(p.right - 1), bounds.right),
                                   std::min(double(p.bottom - 1), bounds.bottom)}
                           : bounds;
    }

    const TPicture& myPicture;
    std::vector<std::uint8_t> myRecords;
    std::uint32_t myMaxRecordWords = 0;
    std::vector<bool> myObjectSlots;
    TRect myClip{};
    std::optional<int> myPen, myBrush, myFont;
    std::tuple<std::uint16_t, int, TColor> myPenKey{};
    TColor myBrushColor = 0;
    TFontSpec myFontSpec;
    std::optional<TColor> myTextColor;
    std::optional<std::uint16_t> myTextAlign;
};

} // namespace

std::vector<std::uint8_t> PictureToWmf(const TPicture& picture)
{
    TWmfBuilder builder(picture);
    for (const TPrimitive& p : picture.Primitives())
        builder.Add(p);
    return builder.Finish();
}

bool WriteWmf(const std::string& path, const TPicture& picture)
{
    const std::vector<std::uint8_t> bytes = PictureToWmf(picture);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    out.close(); // flushed before it is judged: a full disk is a failure
    return !out.fail();
}

} // namespace ksn
