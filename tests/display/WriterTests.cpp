// The picture writers: the placeable metafile's headers and records read back field by
// field (with the writer's own clipping), SVG text, and the checked number formats.
#include "display/NumberFormat.h"
#include "display/Picture.h"
#include "display/SvgWriter.h"
#include "display/WmfWriter.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace ksn::test {
namespace {

struct TWmfRecord {
    std::uint16_t function = 0;
    std::vector<std::int16_t> words;
};

struct TWmfFile {
    std::vector<std::uint16_t> placeable; // 11 words
    std::vector<std::uint16_t> header;    // 9 words
    std::vector<TWmfRecord> records;
    bool sizesChain = true;
};

// Reads the metafile back the way a reader walks it: records by their size fields,
// until the end record.
TWmfFile ParseWmf(const std::vector<std::uint8_t>& bytes)
{
    TWmfFile f;
    const auto word = [&](size_t at) { return std::uint16_t(bytes[at] | bytes[at + 1] << 8); };
    for (size_t i = 0; i < 11; ++i)
        f.placeable.push_back(word(2 * i));
    for (size_t i = 0; i < 9; ++i)
        f.header.push_back(word(22 + 2 * i));
    size_t at = 22 + 18;
    while (at + 6 <= bytes.size()) {
        const std::uint32_t size = word(at) | std::uint32_t(word(at + 2)) << 16;
        TWmfRecord r;
        r.function = word(at + 4);
        if (size < 3 || at + 2 * size > bytes.size()) {
            f.sizesChain = false;
            break;
        }
        for (size_t k = 3; k < size; ++k)
            r.words.push_back(std::int16_t(word(at + 2 * k)));
        f.records.push_back(r);
        at += 2 * size;
        if (r.function == 0)
            break;
    }
    f.sizesChain = f.sizesChain && at == bytes.size();
    return f;
}

TEST(WmfWriter, PlaceableHeaderChecksumAndRecordChain)
{
    TPicture picture(320, 200);
    picture.FillRect(kWhite, 0, 0, 320, 200);
    picture.Line(TPen{RGBColor(0, 0, 255), 1, TLineStyle::solid}, 10, 20, 300, 180);
    picture.Text(TFontSpec{}, 160, 15, TTextAlign::centre, "Z [\xC2\xB5m]");
    const std::vector<std::uint8_t> bytes = PictureToWmf(picture);
    const TWmfFile f = ParseWmf(bytes);
    ASSERT_TRUE(f.sizesChain);
    EXPECT_EQ(f.placeable[0], 0xCDD7);
    EXPECT_EQ(f.placeable[1], 0x9AC6);
    EXPECT_EQ(f.placeable[5], 320); // bounding box right, bottom
    EXPECT_EQ(f.placeable[6], 200);
    EXPECT_EQ(f.placeable[7], 96); // units per inch
    std::uint16_t checksum = 0;
    for (int i = 0; i < 10; ++i)
        checksum ^= f.placeable[size_t(i)];
    EXPECT_EQ(f.placeable[10], checksum);
    // Header: memory metafile, 9 words, version 3, size in words after the placeable header.
    EXPECT_EQ(f.header[0], 1);
    EXPECT_EQ(f.header[1], 9);
    EXPECT_EQ(f.header[2], 0x0300);
    EXPECT_EQ(f.header[3] | std::uint32_t(f.header[4]) << 16, (bytes.size() - 22) / 2);
    ASSERT_FALSE(f.records.empty());
    EXPECT_EQ(f.records.back().function, 0);

    std::map<std::uint16_t, int> count;
    for (const TWmfRecord& r : f.records)
        ++count[r.function];
    EXPECT_EQ(count[0x0325], 1); // polyline
    EXPECT_EQ(count[0x041B], 1); // rectangle
    EXPECT_EQ(count[0x0521], 1); // text
    EXPECT_LE(f.header[5], 4);   // objects in the table at once
    for (const TWmfRecord& r : f.records) {
        if (r.function == 0x0325) {
            EXPECT_EQ(r.words, (std::vector<std::int16_t>{2, 10, 20, 300, 180}));
        }
        if (r.function == 0x0521) { // length, text (Latin-1), y, x
            EXPECT_EQ(r.words[0], 6);
            EXPECT_EQ(std::uint16_t(r.words[2]) >> 8, 0xB5); // µ
            EXPECT_EQ(r.words[4], 15);
            EXPECT_EQ(r.words[5], 160);
        }
        if (r.function == 0x02FA) { // pen: style, width, colour 0x00BBGGRR
            EXPECT_TRUE(r.words[0] == 5 || std::uint16_t(r.words[4]) == 0x00FF);
        }
    }
}

TEST(WmfWriter, ClipRectangleCutsCurvesAndFills)
{
    TPicture picture(100, 100);
    picture.SetClip(20, 20, 80, 80); // pixels 20 … 79
    picture.Polyline(TPen{}, {{0, 50}, {50, 50}, {50, 0}});
    picture.FillRect(kBlack, 70, 70, 200, 200);
    picture.ClearClip();
    picture.Line(TPen{}, 0, 0, 10, 0);
    const TWmfFile f = ParseWmf(PictureToWmf(picture));
    ASSERT_TRUE(f.sizesChain);
    std::vector<std::vector<std::int16_t>> lines, rects;
    for (const TWmfRecord& r : f.records) {
        if (r.function == 0x0325)
            lines.push_back(r.words);
        if (r.function == 0x041B)
            rects.push_back(r.words);
    }
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], (std::vector<std::int16_t>{3, 20, 50, 50, 50, 50, 20}));
    EXPECT_EQ(lines[1], (std::vector<std::int16_t>{2, 0, 0, 10, 0}));
    // Pixels 70 … 79 filled: without a pen the rectangle's far edges are one further.
    ASSERT_EQ(rects.size(), 1u);
    EXPECT_EQ(rects[0], (std::vector<std::int16_t>{81, 81, 70, 70})); // bottom, right, top, left
}

TEST(SvgWriter, LinesThroughPixelCentresAndEscapedText)
{
    TPicture picture(50, 40);
    picture.Line(TPen{RGBColor(255, 0, 0), 1, TLineStyle::dashed}, 1, 2, 30, 2);
    picture.Text(TFontSpec{}, 5, 30, TTextAlign::right, "a<b & \"c\"\x01\xFF");
    picture.SetClip(0, 0, 10, 10);
    picture.Image(1, 2, {TRgb{1, 2, 3}, TRgb{4, 5, 6}}, 0, 0, 10, 10);
    const std::string svg = PictureToSvg(picture);
    EXPECT_NE(svg.find("points=\"1.5,2.5 30.5,2.5\""), std::string::npos) << svg;
    EXPECT_NE(svg.find("stroke=\"#ff0000\""), std::string::npos);
    EXPECT_NE(svg.find("stroke-dasharray"), std::string::npos);
    EXPECT_NE(svg.find(">a&lt;b &amp; &quot;c&quot;</text>"), std::string::npos) << svg;
    EXPECT_NE(svg.find("text-anchor=\"end\""), std::string::npos);
    EXPECT_NE(svg.find("data:image/png;base64,iVBORw0KGgo"), std::string::npos); // PNG signature
    EXPECT_NE(svg.find("</g>\n</svg>"), std::string::npos);                      // clip group closed
}

TEST(NumberFormat, OnlyOneRealConversionReachesPrintf)
{
    EXPECT_EQ(FormatNumber("%2.1f", 3.14159), "3.1");
    EXPECT_EQ(FormatNumber("%.2f", -0.005), "-0.01");
    EXPECT_EQ(FormatNumber("z = %.0f %%", 12.5), "z = 12 %");
    EXPECT_EQ(FormatNumber("%.18f", 0.5), "0.500000000000000000");
    for (const char* bad : {"%s", "%n", "%d", "%.2f %.2f", "%100f", "%.100f", "plain", "%", "%*f"})
        EXPECT_EQ(FormatNumber(bad, 2.5), "2.5") << bad;
}

} // namespace
} // namespace ksn::test
