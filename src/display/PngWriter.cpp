#include "display/PngWriter.h"

#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace ksn {

int PictureScale(int width, int height, int minSide, int maxSide)
{
    if (width < 1 || height < 1)
        return 1;
    const int shorter = std::min(width, height);
    const int longer = std::max(width, height);
    int scale = (minSide + shorter - 1) / shorter;
    scale = std::min(scale, maxSide / longer);
    return std::max(scale, 1);
}

bool WritePngGrey(const std::string& path, int width, int height, const std::vector<double>& values, int scale)
{
    if (width < 1 || height < 1 || scale < 1 || values.size() != size_t(width) * size_t(height))
        return false;
    const long long pixelsWide = (long long)width * scale;
    const long long pixelsHigh = (long long)height * scale;
    if (pixelsWide > 65535 || pixelsHigh > 65535 || pixelsWide * pixelsHigh > (1LL << 28))
        return false;

    double lo = INFINITY, hi = -INFINITY;
    for (double v : values)
        if (std::isfinite(v)) {
            lo = std::min(lo, v);
            hi = std::max(hi, v);
        }
    // grey = 255*(v - min)/(max - min), rounded; a constant map is mid-grey.
    const double range = hi - lo;
    std::vector<std::uint8_t> grey(values.size());
    for (size_t k = 0; k < values.size(); ++k) {
        const double v = values[k];
        if (!std::isfinite(v))
            grey[k] = 0;
        else if (!(range > 0))
            grey[k] = 128;
        else
            grey[k] = std::uint8_t(std::lround(255.0 * (v - lo) / range));
    }
    // Nearest-neighbour enlargement: pixel (px, py) shows map point (px/scale, py/scale).
    std::vector<std::uint8_t> pixels(size_t(pixelsWide) * size_t(pixelsHigh));
    for (long long py = 0; py < pixelsHigh; ++py) {
        const std::uint8_t* row = grey.data() + size_t(py / scale) * size_t(width);
        std::uint8_t* out = pixels.data() + size_t(py) * size_t(pixelsWide);
        for (long long px = 0; px < pixelsWide; ++px)
            out[px] = row[px / scale];
    }

    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(pixelsWide);
    image.height = png_uint_32(pixelsHigh);
    image.format = PNG_FORMAT_GRAY;
    const int ok = png_image_write_to_file(&image, path.c_str(), 0, pixels.data(), png_int_32(pixelsWide), nullptr);
    png_image_free(&image);
    return ok != 0;
}

std::vector<std::uint8_t> EncodePngRgb(int width, int height, const std::vector<std::uint8_t>& rgb)
{
    if (width < 1 || height < 1 || rgb.size() != size_t(width) * size_t(height) * 3)
        return {};
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(width);
    image.height = png_uint_32(height);
    image.format = PNG_FORMAT_RGB;
    // First call measures, second writes.
    png_alloc_size_t size = 0;
    if (!png_image_write_to_memory(&image, nullptr, &size, 0, rgb.data(), png_int_32(width) * 3, nullptr)) {
        png_image_free(&image);
        return {};
    }
    std::vector<std::uint8_t> bytes(size);
    const int ok = png_image_write_to_memory(&image, bytes.data(), &size, 0, rgb.data(), png_int_32(width) * 3, nullptr);
    png_image_free(&image);
    if (!ok)
        return {};
    bytes.resize(size);
    return bytes;
}

} // namespace ksn
