#pragma once

namespace ksn {

// Descriptor of one array dimension. `centred` makes the FFT treat index N/2 as the
// origin of the axis; nothing in the system clears it. `spectral` labels the axis as
// spatial frequency for the displays.
struct TAxis {
    bool changed = false;
    bool centred = true;
    bool spectral = false;
    int points = 0;
    double scale = 1.0;

    void SetPoints(int n) { points = n; changed = true; }
    void SetCentred(bool c) { centred = c; changed = true; }
    void SetSpectral(bool s) { spectral = s; changed = true; }
    void SetScale(double s) { scale = s; changed = true; }
};

} // namespace ksn
