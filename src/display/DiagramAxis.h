#pragma once
// One axis of the false-colour diagram: limits, tick rule, label format, grid, and the
// linear map between axis values and control pixels across the image rectangle.
#include "display/Picture.h"
#include "display/TickSpacing.h"

#include <cstdint>
#include <string>

namespace ksn {

enum class TDGridStyle { dgsNone, dgsDotted, dgsDashed, dgsLine };

class TDiagramAxis {
public:
    enum TOrientation { horizontal = 0, vertical = 1 };
    explicit TDiagramAxis(TOrientation orientation) : myOrientation(orientation) { Recompute(); }

    TOrientation GetOrientation() const { return myOrientation; }
    double GetLoLimit() const { return myLoLimit; }
    double GetHiLimit() const { return myHiLimit; }
    // Stores both limits as given (HiLimit < LoLimit reverses the axis) and recomputes
    // the map.
    void SetLimits(double lo, double hi);
    std::uint16_t GetMinDivision() const { return myMinDivision; }
    void SetMinDivision(std::uint16_t n) { myMinDivision = n; }
    bool GetSubTics() const { return mySubTics; }
    void SetSubTics(bool on) { mySubTics = on; }
    const std::string& GetNumberFmt() const { return myNumberFmt; }
    void SetNumberFmt(const std::string& format) { myNumberFmt = format; }
    TDGridStyle GetGrid() const { return myGrid; }
    void SetGrid(TDGridStyle style) { myGrid = style; }
    TColor GetGridColor() const { return myGridColor; }
    void SetGridColor(TColor color) { myGridColor = color; }
    // Caption written beside the axis (empty: none).
    const std::string& GetCaption() const { return myCaption; }
    void SetCaption(const std::string& caption) { myCaption = caption; }

    // The image rectangle in control pixels (its frame: left and top are one pixel
    // before the first image pixel, right and bottom one pixel after the last).
    void SetImageRect(int left, int top, int right, int bottom);
    int Left() const { return myLeft; }
    int Top() const { return myTop; }
    int Right() const { return myRight; }
    int Bottom() const { return myBottom; }

    // pixel = round(value * scale + offset), with
    //   horizontal: scale = (right - left - 3) / (Hi - Lo), offset = left + 1 - Lo * scale
    //   vertical:   scale = (top - bottom + 3) / (Hi - Lo), offset = top + 1 - Hi * scale
    // so Lo and Hi land on the first and last image pixel. Equal or non-finite limits
    // give scale 0: every value maps to the first image pixel and back to LoLimit.
    double GetScale() const { return myScale; }
    double GetOffset() const { return myOffset; }
    int ValueToPixel(double value) const;
    double PixelToValue(double pixel) const;

    TTickSteps Ticks() const { return TickSteps(myLoLimit, myHiLimit, myMinDivision); }

private:
    void Recompute();

    TOrientation myOrientation;
    double myLoLimit = 0;
    double myHiLimit = 100;
    std::uint16_t myMinDivision = 3;
    bool mySubTics = true;
    std::string myNumberFmt = "%.0f";
    TDGridStyle myGrid = TDGridStyle::dgsNone;
    TColor myGridColor = RGBColor(0, 128, 0);
    std::string myCaption;
    int myLeft = 47, myTop = 9, myRight = 169, myBottom = 101;
    double myScale = 0;
    double myOffset = 0;
};

} // namespace ksn
