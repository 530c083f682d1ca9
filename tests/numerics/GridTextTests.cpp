#include "numerics/ComplexArray.h"
#include "numerics/ComplexVector.h"
#include "numerics/GridText.h"
#include "numerics/RealArray.h"

#include "ErrorText.h"

#include <gtest/gtest.h>

#include <clocale>
#include <sstream>
#include <string>

namespace ksn {
namespace {

using test::ErrorTextOf;

TEST(GridText, RealArrayHeadersCellsAndWidth)
{
    TRealArray a(3, 2);
    a.SetBase(1);
    a.Put(1, 1, -1.5);
    a.Put(3, 2, 12.25);
    const TGridText g = ShowInGrid(a, "%.2f");
    EXPECT_EQ(g.colCount, 4);
    EXPECT_EQ(g.rowCount, 3);
    EXPECT_EQ(g.defaultRowHeight, 21);
    EXPECT_EQ(g.Cell(0, 0), "");
    EXPECT_EQ(g.Cell(1, 0), "1"); // column headers offset by the base
    EXPECT_EQ(g.Cell(3, 0), "3");
    EXPECT_EQ(g.Cell(0, 1), " 1 ");
    EXPECT_EQ(g.Cell(0, 2), " 2 ");
    EXPECT_EQ(g.Cell(1, 1), "-1.50");
    EXPECT_EQ(g.Cell(3, 2), "12.25");
    EXPECT_EQ(g.Cell(2, 1), "0.00");
    // "12.25" is the formatted maximum: 5 characters + 4.
    ASSERT_EQ(g.colWidths.size(), 4u);
    for (int w : g.colWidths)
        EXPECT_EQ(w, 9);
}

TEST(GridText, ComplexArrayCellsInBothForms)
{
    TComplexArray a(2, 2);
    a.SetBase(5);
    a.Put(5, 5, Cmplx(1.5, 2));
    a.Put(6, 5, Cmplx(-1, -0.25));
    a.Put(5, 6, Cmplx(0, -0.0));
    const TGridText g = ShowInGrid(a, "%.2f");
    EXPECT_EQ(g.Cell(1, 0), "0"); // complex columns count from 0 whatever the base
    EXPECT_EQ(g.Cell(2, 0), "1");
    EXPECT_EQ(g.Cell(0, 1), " 5 ");
    EXPECT_EQ(g.Cell(1, 1), "1.50 + i2.00");
    EXPECT_EQ(g.Cell(2, 1), "-1.00 - i0.25"); // modulus of the negative imaginary part
    EXPECT_EQ(g.Cell(1, 2), "0.00 - i0.00");
    EXPECT_EQ(g.Cell(2, 2), "0.00 + i0.00");
    // Width: the first element's text (12 characters) + 8.
    for (int w : g.colWidths)
        EXPECT_EQ(w, 20);

    TComplexArray p(1, 1);
    p.SetAt(0, 0, Cmplx(0, 2));
    p.ToPolar();
    const TGridText gp = ShowInGrid(p, "%.3f");
    EXPECT_EQ(gp.Cell(1, 1), "2.000, 1.571");
    EXPECT_TRUE(p.IsPolar()); // shown as it is, not converted
}

TEST(GridText, ComplexVectorTwoColumns)
{
    TComplexVector v(2);
    v.SetBase(-1);
    v.Put(-1, Cmplx(1, -2));
    v.Put(0, Cmplx(0.5, 3));
    const TGridText g = ShowInGrid(v, "%.1f");
    EXPECT_EQ(g.colCount, 2);
    EXPECT_EQ(g.rowCount, 2);
    EXPECT_EQ(g.Cell(0, 0), " -1 ");
    EXPECT_EQ(g.Cell(1, 0), "1.0 - 2.0i");
    EXPECT_EQ(g.Cell(1, 1), "0.5 + 3.0i");
    v.ToPolar();
    EXPECT_EQ(ShowInGrid(v, "%.1f").Cell(1, 1), "3.0, 1.4");
}

TEST(GridText, BadFormatsAreRefusedBeforeFormatting)
{
    TRealArray a(2, 2);
    for (const char* bad : {"%s", "%d", "%f %f", "%*f", "no conversion", "%", "%Lf", "%.5000f", "%n"})
        EXPECT_EQ(ErrorTextOf([&] { ShowInGrid(a, bad); }), std::string("ShowInGrid: Invalid format \"") + bad + "\"")
            << bad;
    EXPECT_EQ(ErrorTextOf([&] { ShowInGrid(a, nullptr); }), "ShowInGrid: No format given");
    // Literal text, "%%" and a long modifier are fine.
    EXPECT_EQ(FormatGridValue("v=%+08.3lf%%", 2.5), "v=+002.500%");
    EXPECT_EQ(FormatGridValue("%g", 1e-7), "1e-07");
}

TEST(GridText, DecimalSeparatorIsAlwaysFullStop)
{
    EXPECT_EQ(ForceFullStop("-1,50 + i2,00", ","), "-1.50 + i2.00");
    EXPECT_EQ(ForceFullStop("3.5", "."), "3.5");
    EXPECT_EQ(ForceFullStop("1\xd9\xab" "5", "\xd9\xab"), "1.5"); // a multi-byte separator

    // With a real comma locale, if the machine has one.
    const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    const char* comma = nullptr;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8", "de_DE"})
        if (std::setlocale(LC_NUMERIC, name) != nullptr) {
            comma = name;
            break;
        }
    if (comma == nullptr)
        GTEST_SKIP() << "no locale with a decimal comma installed";
    const std::string text = FormatGridValue("%.2f", 1.25);
    std::setlocale(LC_NUMERIC, saved.c_str());
    EXPECT_EQ(text, "1.25");
}

TEST(GridText, PlainTextAlignsColumns)
{
    TRealArray a(2, 2);
    a.At(0, 0) = 1234.5;
    a.At(1, 1) = -2;
    const std::string text = GridToText(ShowInGrid(a, "%.1f"));
    std::istringstream lines(text);
    std::string line;
    std::vector<std::string> all;
    while (std::getline(lines, line))
        all.push_back(line);
    ASSERT_EQ(all.size(), 3u);
    // Every column is 10 characters wide ("1234.5" + 4), cells right-aligned.
    for (const auto& l : all)
        EXPECT_EQ(l.size(), 30u) << l;
    EXPECT_EQ(all[1], "        0 " "    1234.5" "       0.0");
    EXPECT_EQ(all[2].substr(20), "      -2.0");
}

} // namespace
} // namespace ksn
