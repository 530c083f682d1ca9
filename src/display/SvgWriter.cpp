#include "display/SvgWriter.h"

#include "display/PngWriter.h"

#include <cstdio>
#include <fstream>
#include <sstream>

namespace ksn {

namespace {

std::string Hex(TColor c)
{
    char text[8];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", RedOf(c), GreenOf(c), BlueOf(c));
    return text;
}

std::string Number(double v)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", v);
    return text;
}

// XML text: markup characters escaped, control characters and broken UTF-8 dropped.
std::string Escape(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        int length = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
        bool valid = length > 0 && i + size_t(length) <= text.size();
        for (int k = 1; valid && k < length; ++k)
            valid = (static_cast<unsigned char>(text[i + size_t(k)]) & 0xC0) == 0x80;
        if (!valid) {
            ++i;
            continue;
        }
        if (length == 1) {
            if (c == '&')
                out += "&amp;";
            else if (c == '<')
                out += "&lt;";
            else if (c == '>')
                out += "&gt;";
            else if (c == '"')
                out += "&quot;";
            else if (c >= 0x20 || c == '\t')
                out += char(c);
        } else {
            out.append(text, i, size_t(length));
        }
        i += size_t(length);
    }
    return out;
}

std::string Base64(const std::vector<std::uint8_t>& bytes)
{
    static const char* digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (size_t i = 0; i < bytes.size(); i += 3) {
        const std::uint32_t n = std::uint32_t(bytes[i]) << 16 | (i + 1 < bytes.size() ? bytes[i + 1] << 8 : 0) |
                                (i + 2 < bytes.size() ? bytes[i + 2] : 0);
        out += digits[(n >> 18) & 63];
        out += digits[(n >> 12) & 63];
        out += i + 1 < bytes.size() ? digits[(n >> 6) & 63] : '=';
        out += i + 2 < bytes.size() ? digits[n & 63] : '=';
    }
    return out;
}

class TSvgBuilder {
public:
    explicit TSvgBuilder(std::ostringstream& out) : myOut(out) {}

    void Add(const TPrimitive& primitive)
    {
        std::visit([this](const auto& p) { Draw(p); }, primitive);
    }
    void Finish() { CloseClip(); }

private:
    // Lines run through pixel centres: every coordinate + 0.5.
    void Draw(const TPolylinePrim& p)
    {
        // A closed outline becomes a polygon, joined at every corner.
        const bool closed = p.points.size() >= 4 && p.points.front().x == p.points.back().x &&
                            p.points.front().y == p.points.back().y;
        const size_t count = closed ? p.points.size() - 1 : p.points.size();
        myOut << (closed ? "<polygon" : "<polyline") << " fill=\"none\" stroke=\"" << Hex(p.pen.color) << "\" stroke-width=\"" << p.pen.width
              << "\" stroke-linecap=\"square\" stroke-linejoin=\"miter\"";
        if (p.pen.style == TLineStyle::dotted)
            myOut << " stroke-dasharray=\"1,2\"";
        else if (p.pen.style == TLineStyle::dashed)
            myOut << " stroke-dasharray=\"4,2\"";
        myOut << " points=\"";
        for (size_t i = 0; i < count; ++i)
            myOut << (i ? " " : "") << Number(p.points[i].x + 0.5) << ',' << Number(p.points[i].y + 0.5);
        myOut << "\"/>\n";
    }
    void Draw(const TFillRectPrim& p)
    {
        myOut << "<rect x=\"" << p.left << "\" y=\"" << p.top << "\" width=\"" << p.right - p.left << "\" height=\""
              << p.bottom - p.top << "\" fill=\"" << Hex(p.color) << "\"/>\n";
    }
    void Draw(const TTextPrim& p)
    {
        const char* anchor = p.align == TTextAlign::centre ? "middle" : p.align == TTextAlign::right ? "end" : "start";
        myOut << "<text x=\"" << Number(p.x) << "\" y=\"" << Number(p.y) << "\" font-family=\"'" << Escape(p.font.family)
              << "', " << (p.font.serif ? "serif" : "sans-serif") << "\" font-size=\"" << p.font.pixelSize
              << "px\" fill=\"" << Hex(p.font.color) << "\" text-anchor=\"" << anchor << '"'
              << (p.font.bold ? " font-weight=\"bold\"" : "") << '>' << Escape(p.text) << "</text>\n";
    }
    void Draw(const TImagePrim& p)
    {
        std::vector<std::uint8_t> rgb;
        rgb.reserve(p.pixels.size() * 3);
        for (const TRgb& c : p.pixels) {
            rgb.push_back(c.r);
            rgb.push_back(c.g);
            rgb.push_back(c.b);
        }
        const std::vector<std::uint8_t> png = EncodePngRgb(p.width, p.height, rgb);
        if (png.empty())
            return;
        myOut << "<image x=\"" << p.left << "\" y=\"" << p.top << "\" width=\"" << p.right - p.left << "\" height=\""
              << p.bottom - p.top << "\" preserveAspectRatio=\"none\" style=\"image-rendering:pixelated\""
              << " xlink:href=\"data:image/png;base64," << Base64(png) << "\"/>\n";
    }
    void Draw(const TClipPrim& p)
    {
        CloseClip();
        if (!p.enabled)
            return;
        ++myClipCount;
        myOut << "<clipPath id=\"clip" << myClipCount << "\"><rect x=\"" << p.left << "\" y=\"" << p.top
              << "\" width=\"" << std::max(0, p.right - p.left) << "\" height=\"" << std::max(0, p.bottom - p.top)
              << "\"/></clipPath>\n<g clip-path=\"url(#clip" << myClipCount << ")\">\n";
        myClipOpen = true;
    }
    void CloseClip()
    {
        if (myClipOpen)
            myOut << "</g>\n";
        myClipOpen = false;
    }

    std::ostringstream& myOut;
    int myClipCount = 0;
    bool myClipOpen = false;
};

} // namespace

std::string PictureToSvg(const TPicture& picture)
{
    std::ostringstream out;
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n"
        << "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" version=\"1.1\""
        << " width=\"" << picture.Width() << "\" height=\"" << picture.Height() << "\" viewBox=\"0 0 "
        << picture.Width() << ' ' << picture.Height() << "\">\n";
    TSvgBuilder builder(out);
    for (const TPrimitive& p : picture.Primitives())
        builder.Add(p);
    builder.Finish();
    out << "</svg>\n";
    return out.str();
}

bool WriteSvg(const std::string& path, const TPicture& picture)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << PictureToSvg(picture);
    out.close(); // flushed before it is judged: a full disk is a failure
    return !out.fail();
}

} // namespace ksn
