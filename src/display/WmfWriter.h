#pragma once
// Placeable Windows metafiles of pictures: one logical unit per pixel at 96 units per
// inch, with pens, brushes, fonts, polylines, rectangles and text. Clipping is done in
// the writer (segments and rectangles are cut to the clip rectangle), which every
// metafile reader shows alike; images become rectangles, one per run of equal colour.
#include "display/Picture.h"

#include <cstdint>
#include <string>
#include <vector>

namespace ksn {

std::vector<std::uint8_t> PictureToWmf(const TPicture& picture);
bool WriteWmf(const std::string& path, const TPicture& picture);

} // namespace ksn
