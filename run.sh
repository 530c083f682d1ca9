#!/usr/bin/env bash
# Installs what is missing, builds in Release and runs the bundled example end to end;
# with --gui starts the desktop program kestrin with the example loaded instead.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/build.sh
example=examples/waveguide.ini
if [ "${1:-}" = "--gui" ]; then
  # The desktop program with the example loaded (needs a display).
  exec ./build/app/gui/kestrin "$example"
fi
out=out/waveguide
echo "== ksn run $example -o $out --save-fields"
./build/app/cli/ksn run "$example" -o "$out" --save-fields
echo
echo "Results of $example are in $out/:"
echo "  report.log    the log with the timing and absorption report"
echo "  summary.json  method, grid and per-slice totals"
echo "  curves.csv    intensity, absorption and energy flux over z"
echo "  fields/E.npy  the field of every slice (complex128, shape (slices, ny, nx))"
echo "  maps/         intensity.npy and absorption.npy (float64, same shape), and false-colour"
echo "                maps intensity_xz.png, intensity_yz.png, intensity_xy.png, index_xz.png"
echo "  waveguide_inty, _absn, _eflx (.wmf, .svg, .png)  irradiance, absorption, energy flux over z"
