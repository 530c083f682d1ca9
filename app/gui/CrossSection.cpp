#include "CrossSection.h"

#include "field/ScalarEField.h"
#include "field/VectorEField.h"

#include <algorithm>

namespace ksn::gui {

namespace {

std::vector<const TComplexArray*> Components(const TField& field)
{
    if (const auto* v = dynamic_cast<const TVectorEField*>(&field))
        return {&v->EX(), &v->EY(), &v->EZ()};
    if (const auto* s = dynamic_cast<const TScalarEField*>(&field))
        return {&s->E()};
    return {};
}

} // namespace

bool BuildCrossSection(const std::vector<TFieldRef>& store, int orientation, int level, TCrossSection& out)
{
    out = TCrossSection{};
    std::vector<TField*> fields;
    for (const TFieldRef& f : store)
        if (f)
            fields.push_back(f.get());
    if (fields.empty() || level < 0)
        return false;
    TField& first = *fields.front();
    const int nx = first.GetXSize(), ny = first.GetYSize();
    const size_t componentCount = Components(first).size();
    if (orientation == 1) {
        TField& f = *fields[std::min(size_t(level), fields.size() - 1)];
        for (const TComplexArray* c : Components(f))
            out.components.push_back(*c);
        out.intensity = f.IntensityMap();
        return true;
    }
    if (orientation != 0 && orientation != 2)
        return false;
    const bool xz = orientation == 0;
    if (level >= (xz ? ny : nx))
        return false;
    const int slices = int(fields.size());
    const int across = xz ? nx : ny;
    out.components.assign(componentCount, TComplexArray(slices, across));
    out.intensity = TRealArray(slices, across);
    for (int k = 0; k < slices; ++k) {
        TField& f = *fields[size_t(k)];
        const std::vector<const TComplexArray*> comps = Components(f);
        if (f.GetXSize() != nx || f.GetYSize() != ny || comps.size() != componentCount)
            continue;
        const TRealArray& map = f.IntensityMap();
        for (int i = 0; i < across; ++i) {
            const int ix = xz ? i : level, iy = xz ? level : i;
            for (size_t c = 0; c < componentCount; ++c)
                out.components[c].SetAt(k, i, comps[c]->At(ix, iy));
            out.intensity.At(k, i) = map.At(ix, iy);
        }
    }
    return true;
}

void ClipCrossSection(TComplexArray& array, double level)
{
    if (level < 0)
        return;
    const size_t n = size_t(array.Nx()) * size_t(array.Ny());
    for (double* part : {array.Re(), array.Im()})
        for (size_t i = 0; i < n; ++i)
            part[i] = std::clamp(part[i], -level, level);
}

} // namespace ksn::gui
