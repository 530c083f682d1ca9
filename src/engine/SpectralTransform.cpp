#include "engine/SpectralTransform.h"

#include <cstddef>

namespace ksn {

void TInverseTransform2D::Run(double* re, double* im) const
{
    thread_local TComplexBuffer data;
    thread_local TComplexBuffer panel;
    const std::size_t n = std::size_t(myTransform.Count());
    data.Resize(n);
    panel.Resize(myTransform.PanelSize());
    double* v = data.Data();
    for (std::size_t p = 0; p < n; ++p) {
        v[2 * p] = re[p];
        v[2 * p + 1] = im[p];
    }
    // Sign -1: the kernel e^{+2 pi i ...}, unscaled.
    myTransform.Run(v, -1, panel.Data());
    for (std::size_t p = 0; p < n; ++p) {
        re[p] = v[2 * p];
        im[p] = v[2 * p + 1];
    }
}

} // namespace ksn
