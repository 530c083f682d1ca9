#pragma once
// The x-y graph: a framed plot area with an x and a y axis, a background, a title,
// one polyline of (x, y) points and an optional cross-hair. The graph records what it
// draws in two pictures: the background picture (background, frame, axes, title) and
// the foreground picture (the curve and the cross-hair, clipped to the inside of the
// plot area). Saved, the two together become a Windows metafile.
//
// The graph's own axis class lives in namespace vellgrafx, apart from the array axis
// descriptor ksn::TAxis of the numerics.
#include "display/Picture.h"
#include "display/TickSpacing.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace ksn::vellgrafx {

// Receives the graph's messages ("Plot is not initialized", …); the owner shows them.
using TMessageHandler = std::function<void(const std::string&)>;

enum class TGridStyle { gsNone, gsDotted, gsDashed, gsLine };

class TAxis {
public:
    enum TOrientation { x = 0, y = 1 };
    explicit TAxis(TOrientation orientation);

    TOrientation GetOrientation() const { return myOrientation; }
    double GetLoLimit() const { return myLoLimit; }
    double GetHiLimit() const { return myHiLimit; }
    // At run time: LoLimit shows "Don't set LoLimit directly, use SetLimits(min, max)
    // instead" and HiLimit is ignored; while loading, a LoLimit below HiLimit (a
    // HiLimit above LoLimit) is taken.
    void SetLoLimit(double value);
    void SetHiLimit(double value);
    // min = max widens to min-1 … max+1; then min >= max (or a non-finite limit)
    // changes nothing and returns false.
    bool SetLimits(double min, double max);

    const std::string& GetAxisFormat() const { return myAxisFormat; }
    void SetAxisFormat(const std::string& format);
    const std::string& GetCaption() const { return myCaption; }
    void SetCaption(const std::string& caption);
    bool GetLogarithmic() const { return myLogarithmic; }
    void SetLogarithmic(bool on);
    std::uint16_t GetMinDivision() const { return myMinDivision; }
    void SetMinDivision(std::uint16_t n);
    bool GetSubTics() const { return mySubTics; }
    void SetSubTics(bool on);
    TGridStyle GetGrid() const { return myGrid; }
    void SetGrid(TGridStyle style);

    // The plot area's edges; recomputes the map
    //   x: scale = (Hi - Lo) / ((right - 1) - left - 1),  offset = Hi - (right - 1) * scale
    //   y: scale = (Hi - Lo) / ((top + 1) - bottom + 1),  offset = Hi - (top + 1) * scale
    // value = pixel * scale + offset. A logarithmic axis with positive limits maps
    // log10 of the value the same way.
    void SetPlotArea(int left, int top, int right, int bottom);
    double GetScale() const { return myScale; }
    double GetOffset() const { return myOffset; }
    double PixelToValue(double pixel) const;
    // round((value - offset) / scale); NaN for a value a logarithmic axis cannot show.
    double ValueToPixel(double value) const;
    TTickSteps Ticks() const { return TickSteps(myLoLimit, myHiLimit, myMinDivision); }
    bool IsLogMapped() const { return myLogarithmic && myLoLimit > 0 && myHiLimit > 0; }

    void SetLoading(bool loading) { myLoading = loading; }
    void SetMessageHandler(TMessageHandler handler) { myMessage = std::move(handler); }
    void SetChangeHandler(std::function<void()> handler) { myChanged = std::move(handler); }

private:
    void Recompute();
    void Changed();

    TOrientation myOrientation;
    double myLoLimit = 0;
    double myHiLimit = 100;
    std::string myAxisFormat = "%2.1f";
    bool myLogarithmic = false;
    std::uint16_t myMinDivision = 5;
    bool mySubTics = true;
    TGridStyle myGrid = TGridStyle::gsNone;
    std::string myCaption;
    int myLeft = 32, myTop = 16, myRight = 289, myBottom = 153;
    double myScale = 1;
    double myOffset = 0;
    bool myLoading = false;
    TMessageHandler myMessage;
    std::function<void()> myChanged;
};

enum class TBackgndStyle { bgSolid, bgVGrad, bgHGrad, bgVTube, bgHTube };
enum class TBackgndRange { bgNone, bgGraph, bgAll };

class TBackground {
public:
    TBackgndStyle GetStyle() const { return myStyle; }
    void SetStyle(TBackgndStyle style) { myStyle = style; }
    TBackgndRange GetRange() const { return myRange; }
    void SetRange(TBackgndRange range) { myRange = range; }
    TColor GetColor1() const { return myColor1; }
    TColor GetColor2() const { return myColor2; }
    void SetColors(TColor color1, TColor color2);
    const std::string& GetTitle() const { return myTitle; }
    void SetTitle(const std::string& title) { myTitle = title; }
    const TFontSpec& GetTitleFont() const { return myTitleFont; }
    void SetTitleFont(const TFontSpec& font) { myTitleFont = font; }

    // The 256-pixel strip, i = 0 … 255, per channel with c1 of Color1 and c2 of Color2:
    //   gradients: round(i * (c2 - c1) / 255 + c1)                 (Color1 … Color2)
    //   tubes:     round((i - 127.5)^2 * (c2 - c1) / 16256.25 + c1)  (Color2, Color1 at
    //              the centre, Color2)
    // 1 x 256 for the vertical styles, 256 x 1 for the horizontal ones.
    std::vector<TRgb> Strip() const;
    bool StripIsVertical() const { return myStyle == TBackgndStyle::bgVGrad || myStyle == TBackgndStyle::bgVTube; }
    // Fills the plot area (bgGraph) or the whole control (bgAll): Color1 for bgSolid,
    // else the strip stretched over it; bgNone fills nothing.
    void Draw(TPicture& picture, int left, int top, int right, int bottom) const;

private:
    TBackgndStyle myStyle = TBackgndStyle::bgSolid;
    TBackgndRange myRange = TBackgndRange::bgNone;
    TColor myColor1 = 16777215;
    TColor myColor2 = 16711680;
    std::string myTitle;
    TFontSpec myTitleFont;
};

// The graph's curve: n points of (x, y) and a colour. Indices at or beyond the count
// are ignored; GetY there is 0.
class TPlot {
public:
    int GetCount() const { return int(myPoints.size()); }
    // Reallocates the points (zeroed); a negative count counts as 0.
    void SetCount(int n);
    void SetX(int i, double x);
    void SetY(int i, double y);
    double GetX(int i) const;
    double GetY(int i) const;
    TColor GetColor() const { return myColor; }
    void SetColor(TColor color) { myColor = color; }
    const std::vector<TPointD>& Points() const { return myPoints; }

private:
    std::vector<TPointD> myPoints;
    TColor myColor = RGBColor(0, 0, 255);
};

class TVellGrafX {
public:
    TVellGrafX();
    // The axes report changes to the graph that owns them.
    TVellGrafX(const TVellGrafX&) = delete;
    TVellGrafX& operator=(const TVellGrafX&) = delete;

    int GetWidth() const { return myWidth; }
    int GetHeight() const { return myHeight; }
    void SetSize(int width, int height);
    const TPen& GetPen() const { return myPen; }
    void SetPen(const TPen& pen) { myPen = pen; }
    const TFontSpec& GetFont() const { return myFont; }
    void SetFont(const TFontSpec& font) { myFont = font; }
    TColor GetFrameColor() const { return myFrameColor; }
    void SetFrameColor(TColor color) { myFrameColor = color; }
    bool GetMarkVisible() const { return myMarkVisible; }
    void SetMarkVisible(bool on) { myMarkVisible = on; }
    double GetMarkX() const { return myMarkX; }
    double GetMarkY() const { return myMarkY; }
    void SetMark(double x, double y);
    TColor GetMarkColor() const { return myMarkColor; }
    void SetMarkColor(TColor color) { myMarkColor = color; }
    TBackground& BackGnd() { return myBackGnd; }
    const TBackground& BackGnd() const { return myBackGnd; }
    std::uint16_t GetLBoarder() const { return myLBoarder; }
    std::uint16_t GetRBoarder() const { return myRBoarder; }
    std::uint16_t GetTBoarder() const { return myTBoarder; }
    std::uint16_t GetBBoarder() const { return myBBoarder; }
    void SetBoarders(std::uint16_t left, std::uint16_t right, std::uint16_t top, std::uint16_t bottom);
    TAxis& XAxis() { return myXAxis; }
    TAxis& YAxis() { return myYAxis; }
    const TAxis& XAxis() const { return myXAxis; }
    const TAxis& YAxis() const { return myYAxis; }
    TPlot& Plot() { return myPlot; }
    const TPlot& Plot() const { return myPlot; }

    // The plot area: the control less the four margins.
    int PlotLeft() const { return myLBoarder; }
    int PlotTop() const { return myTBoarder; }
    int PlotRight() const { return myWidth - myRBoarder; }
    int PlotBottom() const { return myHeight - myBBoarder; }

    void SetMessageHandler(TMessageHandler handler);
    // While loading (or designing), the axes take LoLimit and HiLimit directly.
    void SetLoading(bool loading);
    bool NeedsRedraw() const { return myNeedsRedraw; }
    void SetBackgroundTitle(const std::string& title);

    // Records the background picture anew: background, frame, axes, title.
    void DrawBackground();
    void ClearForeground();
    // Adds the curve to the foreground picture, or shows "Plot is not initialized".
    void DrawPlot();
    // Adds the cross-hair (MarkX, MarkY) to the foreground when MarkVisible.
    void DrawCrossHair();
    const TPicture& BackgroundPicture() const { return myBackground; }
    const TPicture& ForegroundPicture() const { return myForeground; }
    // Background picture, then the foreground clipped to the inside of the plot area.
    TPicture Compose() const;
    // The composed picture as a placeable Windows metafile.
    bool SaveToFile(const std::string& fileName) const;

    // Sets the margins so that tick labels, captions and title fit (approximate text
    // widths); the control keeps its size.
    void FitLayout();

private:
    void UpdateLayout();
    void DrawAxis(TPicture& picture, const TAxis& axis) const;
    void Message(const std::string& text) const;

    int myWidth = 305;
    int myHeight = 185;
    TPen myPen;
    TFontSpec myFont;
    TColor myFrameColor = kBlack;
    bool myMarkVisible = false;
    double myMarkX = 0, myMarkY = 0;
    TColor myMarkColor = RGBColor(255, 0, 0);
    TBackground myBackGnd;
    std::uint16_t myLBoarder = 32, myRBoarder = 16, myTBoarder = 16, myBBoarder = 32;
    TAxis myXAxis{TAxis::x};
    TAxis myYAxis{TAxis::y};
    TPlot myPlot;
    TMessageHandler myMessage;
    bool myNeedsRedraw = true;
    TPicture myBackground;
    TPicture myForeground;
};

} // namespace ksn::vellgrafx
