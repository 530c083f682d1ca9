#pragma once
// Grey-ramp PNG pictures of real 2-D maps (libpng): the map's minimum is black, its
// maximum white, linearly in between. Row 0 of the map is the picture's top row.
#include <cstdint>
#include <string>
#include <vector>

namespace ksn {

// values: width*height reals, row by row with x fastest. Each map point becomes a
// scale x scale block of pixels (nearest neighbour), so that small grids stay visible.
// A constant map is mid-grey; non-finite values are black. Returns false when the
// arguments do not describe a picture or the file cannot be written.
bool WritePngGrey(const std::string& path, int width, int height, const std::vector<double>& values, int scale = 1);

// The integer enlargement that brings the shorter side of a width x height map to about
// `minSide` pixels without letting the longer side exceed `maxSide` (at least 1).
int PictureScale(int width, int height, int minSide = 256, int maxSide = 2048);

// A PNG file's bytes for width x height RGB pixels (3 bytes each, row by row, row 0 on
// top); empty when the arguments do not describe a picture.
std::vector<std::uint8_t> EncodePngRgb(int width, int height, const std::vector<std::uint8_t>& rgb);

} // namespace ksn
