#pragma once
// The level fillers of every layer geometry. Each fills one level of one layer into a
// slice and returns the level's mean index; the scene (TBrelScenes) supplies the frame
// around them: which slice, which levels, the homogeneous flag and where the mean goes.
// The build family (system array) and the per-slice family (large scene) share the
// geometric model and differ in smoothing and, for Grating and Slope, in the model.
#include "config/Records.h"
#include "numerics/ComplexArray.h"
#include "scene/LayerFrames.h"

#include <string>

namespace ksn::scene {

enum class TBuilderFamily : std::uint8_t { build, perSlice };

// Shows a builder's unknown-shape message at most once per warning object: the scene
// makes one per layer build (build family) or per level (per-slice family).
class TShapeWarning {
public:
    explicit TShapeWarning(const char* message) : myMessage(message) {}
    void Warn();
    bool Shown() const { return myShown; }

private:
    const char* myMessage;
    bool myShown = false;
};

struct TLevelContext {
    const TGridParms& grid;
    const TLayerParms& layer;
    int iz;  // level
    int i0;  // first level of the layer: depth w = (iz - i0)*dz
    TBuilderFamily family;
    TShapeWarning& warning;

    TExtended Depth() const { return TExtended(iz - i0) * grid.dz; }
    bool Smooth() const { return layer.smooth; }
};

// The causal smoothing of a builder pair: the build family's variant and threshold, or
// the per-slice family's; none when the layer's `smooth` flag is off.
inline TCausalSmoothing ChooseSmoothing(const TLevelContext& ctx, TSmoothVariant buildVariant,
    TExtended buildThreshold, TSmoothVariant sliceVariant, TExtended sliceThreshold)
{
    if (!ctx.Smooth())
        return {};
    if (ctx.family == TBuilderFamily::build)
        return {buildVariant, buildThreshold};
    return {sliceVariant, sliceThreshold};
}

using TLevelFiller = TComplex (*)(TComplexArray& slice, const TLevelContext& ctx);

// Full frame, constant (Homog, Asphere/None): every point nSubject; mean nSubject.
TComplex FillConstant(TComplexArray& slice, const TLevelContext& ctx);
// Quadrant frame (LayerBuildersQuadrant.cpp).
TComplex FillSphere(TComplexArray& slice, const TLevelContext& ctx);
TComplex FillWGuide(TComplexArray& slice, const TLevelContext& ctx);
TComplex FillLinSymSplitter(TComplexArray& slice, const TLevelContext& ctx);
TComplex FillExpSymSplitter(TComplexArray& slice, const TLevelContext& ctx);
TComplex FillExpTaper(TComplexArray& slice, const TLevelContext& ctx);
// Full frames (LayerBuildersFull.cpp).
TComplex FillGrating(TComplexArray& slice, const TLevelContext& ctx);
TComplex FillPrism(TComplexArray& slice, const TLevelContext& ctx);
TComplex FillSlope(TComplexArray& slice, const TLevelContext& ctx);

// The unknown-shape messages of the builders that read `shape`.
namespace shape_message {
inline constexpr const char* buildWGuide =
    "Error in TBrelScenes.buildWGuide(). Please specify \"shape\" in .ini-File.";
inline constexpr const char* getWGuideLayer =
    "Error in TBrelScenes.getWGuideLayer(). Please specify \"shape\" in .ini-File.";
inline constexpr const char* buildExpTaper =
    "Error in TBrelScenes.buildExpTaper(). Please specify \"shape\" in .ini-File.";
inline constexpr const char* getExpTaperLayer =
    "Error in TBrelScenes.getExpTaperLayer(). Please specify \"shape\" in .ini-File.";
inline constexpr const char* buildLinSplitter =
    "Error in TBrelScenes.buildLinSplitter(). Please specify \"shape\" in .ini-File.";
inline constexpr const char* getLinSymSplitterLayer =
    "Error in TBrelScenes.getLinSymSplitterLayer(). Please specify \"shape\" in .ini-File.";
inline constexpr const char* buildExpSymSplitter =
    "Error in TBrelScenes.buildExpSymSplitter(). Please specify \"shape\" in .ini-File.";
inline constexpr const char* getExpSymSplitter =
    "Error in TBrelScenes.getExpSymSplitter(). Please specify \"shape\" in .ini-File.";
inline constexpr const char* buildSphere =
    "Error in TBrelScenes.buildSphere(). Please specify \"shape\" in .ini-File.";
inline constexpr const char* getSphereLayer =
    "Error in TBrelScenes.getSphereLayer(). Please specify \"shape\" in .ini-File.";
} // namespace shape_message

} // namespace ksn::scene
