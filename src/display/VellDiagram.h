#pragma once
// The false-colour diagram: a block of BmpWidth x BmpHeight values shown as an image
// through a 256-entry colour table, inside a frame with two labelled axes, with an
// optional colour bar, markers and cross-hair. The model holds the data, the colour
// scale and the geometry; Draw records the whole control as a vector picture that
// the render library paints and the writers save.
#include "display/ColourTables.h"
#include "display/DiagramAxis.h"
#include "display/Picture.h"

#include <cstdint>
#include <string>
#include <vector>

namespace ksn {

// A marker drawn onto the image, as a small cross at a point in axis coordinates.
struct TDiagramMarker {
    double x = 0;
    double y = 0;
    TColor color = kWhite;
    int size = 3; // arm length in pixels
};

class TDiagramMarkers {
public:
    void Add(const TDiagramMarker& marker) { myMarkers.push_back(marker); }
    void Clear() { myMarkers.clear(); }
    size_t Count() const { return myMarkers.size(); }
    const TDiagramMarker& operator[](size_t i) const { return myMarkers[i]; }
    // Markers whose point lies inside the image; the rest are left out.
    void Draw(TPicture& picture, const TDiagramAxis& x, const TDiagramAxis& y) const;

private:
    std::vector<TDiagramMarker> myMarkers;
};

// The read-outs of the display windows: which caption text a click writes.
enum class TReadOut { amplitude, realE, imagE, sceneIntensity, intensity };

class TVellDiagram {
public:
    TVellDiagram();

    // The control.
    int GetWidth() const { return myWidth; }
    int GetHeight() const { return myHeight; }
    void SetSize(int width, int height);
    TColor GetBgColor() const { return myBgColor; }
    void SetBgColor(TColor color) { myBgColor = color; }
    TDiagramAxis& XAxis() { return myXAxis; }
    TDiagramAxis& YAxis() { return myYAxis; }
    const TDiagramAxis& XAxis() const { return myXAxis; }
    const TDiagramAxis& YAxis() const { return myYAxis; }

    std::uint16_t GetLBoarder() const { return myLBoarder; }
    std::uint16_t GetRBoarder() const { return myRBoarder; }
    std::uint16_t GetTBoarder() const { return myTBoarder; }
    std::uint16_t GetBBoarder() const { return myBBoarder; }
    void SetBoarders(std::uint16_t left, std::uint16_t right, std::uint16_t top, std::uint16_t bottom);

    // Data size; a new size reallocates the value buffer and the image (zeroed).
    std::uint16_t GetBmpWidth() const { return myBmpWidth; }
    std::uint16_t GetBmpHeight() const { return myBmpHeight; }
    void SetBmpWidth(std::uint16_t width) { SetBmpSize(width, myBmpHeight); }
    void SetBmpHeight(std::uint16_t height) { SetBmpSize(myBmpWidth, height); }
    void SetBmpSize(std::uint16_t width, std::uint16_t height);
    // Each data cell is Zoom x Zoom pixels; 0 counts as 1.
    std::uint16_t GetZoom() const { return myZoom; }
    void SetZoom(std::uint16_t zoom);

    // Data: BmpWidth x BmpHeight values row by row (index = column + row * BmpWidth),
    // copied; then the image is rebuilt. False (nothing changed) when the count differs.
    bool SetData(const double* values, size_t count);
    bool SetData(const std::vector<double>& values) { return SetData(values.data(), values.size()); }
    // The stored value of a cell; 0 for a cell outside the data.
    double GetValue(int column, int row) const;

    // Colour scale. With AutoGain the image rebuild takes the data's finite minimum and
    // maximum; without it SetValueRange's limits stand.
    bool GetAutoGain() const { return myAutoGain; }
    void SetAutoGain(bool on) { myAutoGain = on; }
    double GetMaxValue() const { return myMaxValue; }
    double GetMinValue() const { return myMinValue; }
    void SetValueRange(double minValue, double maxValue);
    // Rebuilds the indexed image from the value buffer (after a change of the y axis
    // direction or of the colour scale).
    void RebuildImage();
    // Colour index of one value with the current scale: 255 above maxValue, 0 below
    // minValue (and for NaN), else round(gain * (v - minValue)) with
    // gain = 255 / (maxValue - minValue), or 0 when the two are equal.
    std::uint8_t ColourIndex(double value) const;
    // The indexed image, BmpWidth x BmpHeight, image row 0 on top.
    const std::vector<std::uint8_t>& ImageIndices() const { return myImage; }

    // Palette 0 … 9: rebuilds the colour table; false (nothing changed) for any other.
    bool SetPalette(int palette);
    int GetPalette() const { return myPalette; }
    const TColourTable& ColourTable() const { return myColourTable; }

    bool GetWithBar() const { return myWithBar; }
    void SetWithBar(bool on) { myWithBar = on; }
    const std::string& GetBarFormat() const { return myBarFormat; }
    void SetBarFormat(const std::string& format) { myBarFormat = format; }
    bool GetMarkVisible() const { return myMarkVisible; }
    void SetMarkVisible(bool on) { myMarkVisible = on; }
    double GetMarkX() const { return myMarkX; }
    double GetMarkY() const { return myMarkY; }
    void SetMark(double x, double y);
    TColor GetMarkColor() const { return myMarkColor; }
    void SetMarkColor(TColor color) { myMarkColor = color; }
    TDiagramMarkers& Markers() { return myMarkers; }

    // Title above the image (empty: none), the title's and the labels' fonts.
    const std::string& GetTitle() const { return myTitle; }
    void SetTitle(const std::string& title) { myTitle = title; }
    const TFontSpec& GetFont() const { return myFont; }
    void SetFont(const TFontSpec& font) { myFont = font; }
    const TFontSpec& GetTitleFont() const { return myTitleFont; }
    void SetTitleFont(const TFontSpec& font) { myTitleFont = font; }

    // Conversions. Pixel -> axis: value = (pixel - offset) / scale on each axis.
    // Axis -> cell: column = floor((xpixel - image left - 1) / Zoom); row counted from
    // the image bottom when the y axis rises (HiLimit >= LoLimit), else from the top;
    // -1 for a column or row outside the data.
    void PixelToAxis(int px, int py, double& x, double& y) const;
    void AxisToCell(double x, double y, int& column, int& row) const;

    // Read-out texts of a click and of a mouse move at control pixel (px, py); empty
    // when the point lies outside the image.
    std::string ReadOutText(TReadOut kind, int px, int py) const;
    std::string MoveText(int px, int py) const;

    // Sets margins and control size so that tick labels, captions, title and colour
    // bar fit around the zoomed image (approximate text widths).
    void FitLayout();
    // The whole control as a picture: fill, axes, image, grid, colour bar, markers,
    // cross-hair.
    TPicture Draw() const;

private:
    void UpdateLayout();
    void DrawAxis(TPicture& picture, const TDiagramAxis& axis) const;
    void DrawGrid(TPicture& picture, const TDiagramAxis& axis) const;
    void DrawBar(TPicture& picture) const;
    bool YRises() const { return myYAxis.GetHiLimit() > myYAxis.GetLoLimit(); }

    int myWidth = 176;
    int myHeight = 124;
    TColor myBgColor = RGBColor(192, 192, 192);
    TDiagramAxis myXAxis{TDiagramAxis::horizontal};
    TDiagramAxis myYAxis{TDiagramAxis::vertical};
    bool myAutoGain = true;
    std::uint16_t myLBoarder = 48, myRBoarder = 8, myTBoarder = 10, myBBoarder = 24;
    std::uint16_t myBmpWidth = 120, myBmpHeight = 90;
    std::uint16_t myZoom = 1;
    bool myWithBar = false;
    std::string myBarFormat = "%.2f";
    bool myMarkVisible = false;
    double myMarkX = 0, myMarkY = 0;
    TColor myMarkColor = RGBColor(255, 0, 0);
    TDiagramMarkers myMarkers;
    std::string myTitle;
    TFontSpec myFont{"DejaVu Sans", 11, false, false, kBlack};
    TFontSpec myTitleFont{"DejaVu Sans", 13, true, false, kBlack};

    std::vector<double> myValues;        // BmpWidth x BmpHeight, row 0 first
    std::vector<std::uint8_t> myImage;   // colour indices, image row 0 on top
    double myMaxValue = 1;
    double myMinValue = 0;
    int myPalette = 0;
    TColourTable myColourTable;
};

} // namespace ksn
