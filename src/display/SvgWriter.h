#pragma once
// SVG documents of pictures, one user unit per pixel. Images are embedded as PNG data
// and drawn without smoothing, so a false-colour map keeps its cells.
#include "display/Picture.h"

#include <string>

namespace ksn {

std::string PictureToSvg(const TPicture& picture);
bool WriteSvg(const std::string& path, const TPicture& picture);

} // namespace ksn
