// The builders of the scene: dispatch by layer type, the build family's frame (every
// level of a layer into the system array) and the per-slice family's frame (one level
// into a cache slot). The geometry of each type is in LayerBuilders*.cpp.
#include "scene/BrelScenes.h"

#include "config/Messages.h"

#include <algorithm>

namespace ksn {

using namespace scene;

namespace {

constexpr const char* kUnsupportedLayer = "Unsupported Layertype found in TBrelScenes.CalcLevel().";

} // namespace

void TBrelScenes::BuildLayer(const TLayerParms& l)
{
    switch (l.type) {
    case TLayerType::Homog: buildHomog(l); break;
    case TLayerType::Sphere: buildSphere(l); break;
    case TLayerType::Wguide: buildWGuide(l); break;
    case TLayerType::LinSymSplitter: buildLinSplitter(l); break;
    case TLayerType::ExpSymSplitter: buildExpSymSplitter(l); break;
    case TLayerType::ExpTaper: buildExpTaper(l); break;
    case TLayerType::Grating: buildGrating(l); break;
    case TLayerType::Prism: buildPrism(l); break;
    case TLayerType::Slope: buildSlope(l); break;
    default: buildNone(l); break; // Asphere, None and any unknown type
    }
}

bool TBrelScenes::CalcLevel(int slot, int iz, const TLayerParms& l)
{
    if (slot < 0 || slot >= int(myLevelCache.size()) || iz < 0)
        return false;
    switch (l.type) {
    case TLayerType::Homog: getHomogLayer(slot, iz, l); break;
    case TLayerType::Sphere: getSphereLayer(slot, iz, l); break;
    case TLayerType::Wguide: getWGuideLayer(slot, iz, l); break;
    case TLayerType::LinSymSplitter: getLinSymSplitterLayer(slot, iz, l); break;
    case TLayerType::ExpSymSplitter: getExpSymSplitter(slot, iz, l); break;
    case TLayerType::ExpTaper: getExpTaperLayer(slot, iz, l); break;
    case TLayerType::Grating: getGratingLayer(slot, iz, l); break;
    case TLayerType::Prism: getPrismLayer(slot, iz, l); break;
    case TLayerType::Slope: getSlopeLayer(slot, iz, l); break;
    default:
        // No per-slice geometry for Asphere and None. The message is shown once until the
        // layers change; the slot gets the layer's constant index (what the build family
        // stores) rather than keeping a stale slice of another level.
        if (!myUnsupportedShown) {
            myUnsupportedShown = true;
            ShowMessage(kUnsupportedLayer);
        }
        CalcSlot(slot, iz, l, true, nullptr, FillConstant);
        return false;
    }
    return true;
}

void TBrelScenes::BuildLevels(const TLayerParms& l, bool homog, const char* shapeMessage, TLevelFiller fill)
{
    if (myLargeScene)
        return;
    int i0 = 0, i1 = 0;
    LevelRange(l, i0, i1);
    if (i1 <= 0 || i1 <= i0)
        return;
    if (size_t(i1) > mySystemArr.size())
        mySystemArr.resize(size_t(i1));
    if (size_t(i1) > myHomogVec.size())
        myHomogVec.resize(size_t(i1), false);
    TShapeWarning warning(shapeMessage ? shapeMessage : "");
    for (int iz = std::max(i0, 0); iz < i1; ++iz) {
        myHomogVec[size_t(iz)] = homog;
        mySystemArr[size_t(iz)].reset(); // release before allocating its successor
        auto slice = std::make_unique<TComplexArray>(myGrid.nx, myGrid.ny);
        const TLevelContext ctx{myGrid, l, iz, i0, TBuilderFamily::build, warning};
        const TComplex mean = fill(*slice, ctx);
        mySystemArr[size_t(iz)] = std::move(slice);
        if (iz < myMeanNVec.Count())
            myMeanNVec.Put(iz, mean);
    }
}

void TBrelScenes::CalcSlot(int slot, int iz, const TLayerParms& l, bool homog, const char* shapeMessage,
    TLevelFiller fill)
{
    if (size_t(slot) < myHomogVec.size())
        myHomogVec[size_t(slot)] = homog;
    int i0 = 0, i1 = 0;
    LevelRange(l, i0, i1);
    if (iz < i0 || iz >= i1)
        return; // not a level of this layer: the slot keeps its slice
    auto& slice = myLevelCache[size_t(slot)];
    if (!slice || slice->Nx() != std::max(myGrid.nx, 0) || slice->Ny() != std::max(myGrid.ny, 0))
        slice = std::make_unique<TComplexArray>(std::max(myGrid.nx, 0), std::max(myGrid.ny, 0));
    TShapeWarning warning(shapeMessage ? shapeMessage : "");
    const TLevelContext ctx{myGrid, l, iz, i0, TBuilderFamily::perSlice, warning};
    const TComplex mean = fill(*slice, ctx);
    if (slot < myMeanNVec.Count())
        myMeanNVec.Put(slot, mean);
    ++myLevelsComputed;
}

// ---------------------------------------------------------------- build family

void TBrelScenes::buildHomog(const TLayerParms& l) { BuildLevels(l, true, nullptr, FillConstant); }
void TBrelScenes::buildNone(const TLayerParms& l) { BuildLevels(l, true, nullptr, FillConstant); }
void TBrelScenes::buildSphere(const TLayerParms& l) { BuildLevels(l, false, shape_message::buildSphere, FillSphere); }
void TBrelScenes::buildWGuide(const TLayerParms& l) { BuildLevels(l, false, shape_message::buildWGuide, FillWGuide); }
void TBrelScenes::buildLinSplitter(const TLayerParms& l)
{
    BuildLevels(l, false, shape_message::buildLinSplitter, FillLinSymSplitter);
}
void TBrelScenes::buildExpSymSplitter(const TLayerParms& l)
{
    BuildLevels(l, false, shape_message::buildExpSymSplitter, FillExpSymSplitter);
}
void TBrelScenes::buildExpTaper(const TLayerParms& l)
{
    BuildLevels(l, false, shape_message::buildExpTaper, FillExpTaper);
}
void TBrelScenes::buildGrating(const TLayerParms& l) { BuildLevels(l, false, nullptr, FillGrating); }
void TBrelScenes::buildPrism(const TLayerParms& l) { BuildLevels(l, false, nullptr, FillPrism); }
void TBrelScenes::buildSlope(const TLayerParms& l) { BuildLevels(l, false, nullptr, FillSlope); }

// ---------------------------------------------------------------- per-slice family

void TBrelScenes::getHomogLayer(int slot, int iz, const TLayerParms& l)
{
    CalcSlot(slot, iz, l, true, nullptr, FillConstant);
}
void TBrelScenes::getSphereLayer(int slot, int iz, const TLayerParms& l)
{
    CalcSlot(slot, iz, l, false, shape_message::getSphereLayer, FillSphere);
}
void TBrelScenes::getWGuideLayer(int slot, int iz, const TLayerParms& l)
{
    CalcSlot(slot, iz, l, false, shape_message::getWGuideLayer, FillWGuide);
}
void TBrelScenes::getLinSymSplitterLayer(int slot, int iz, const TLayerParms& l)
{
    CalcSlot(slot, iz, l, false, shape_message::getLinSymSplitterLayer, FillLinSymSplitter);
}
void TBrelScenes::getExpSymSplitter(int slot, int iz, const TLayerParms& l)
{
    CalcSlot(slot, iz, l, false, shape_message::getExpSymSplitter, FillExpSymSplitter);
}
void TBrelScenes::getExpTaperLayer(int slot, int iz, const TLayerParms& l)
{
    CalcSlot(slot, iz, l, false, shape_message::getExpTaperLayer, FillExpTaper);
}
void TBrelScenes::getGratingLayer(int slot, int iz, const TLayerParms& l)
{
    CalcSlot(slot, iz, l, false, nullptr, FillGrating);
}
void TBrelScenes::getPrismLayer(int slot, int iz, const TLayerParms& l)
{
    CalcSlot(slot, iz, l, false, nullptr, FillPrism);
}
void TBrelScenes::getSlopeLayer(int slot, int iz, const TLayerParms& l)
{
    CalcSlot(slot, iz, l, false, nullptr, FillSlope);
}

} // namespace ksn
