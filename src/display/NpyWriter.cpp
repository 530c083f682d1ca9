#include "display/NpyWriter.h"

#include <fstream>

namespace ksn {

namespace {

// Header: magic "\x93NUMPY", version 1.0, little-endian header length, then a Python
// dict literal padded with blanks and ended by '\n' so that the data starts on a
// 64-byte boundary.
bool WriteNpy(std::ostream& out, const char* descr, const std::vector<std::size_t>& shape, const void* data,
    std::size_t bytes)
{
    std::string dict = std::string("{'descr': '") + descr + "', 'fortran_order': False, 'shape': (";
    for (std::size_t i = 0; i < shape.size(); ++i) {
        dict += std::to_string(shape[i]);
        if (shape.size() == 1 || i + 1 < shape.size())
            dict += ",";
        if (i + 1 < shape.size())
            dict += " ";
    }
    dict += "), }";
    const std::size_t preamble = 10;
    std::size_t total = preamble + dict.size() + 1;
    const std::size_t padded = (total + 63) / 64 * 64;
    dict.append(padded - total, ' ');
    dict += '\n';
    const unsigned short headerLength = static_cast<unsigned short>(dict.size());
    out.write("\x93NUMPY", 6);
    out.put(1);
    out.put(0);
    out.put(char(headerLength & 0xff));
    out.put(char(headerLength >> 8));
    out.write(dict.data(), std::streamsize(dict.size()));
    out.write(static_cast<const char*>(data), std::streamsize(bytes));
    return bool(out);
}

// To a file: checked after the stream is flushed and closed, so that a full disk is a
// failure and not a short file.
bool WriteNpyFile(const std::string& path, const char* descr, const std::vector<std::size_t>& shape,
    const void* data, std::size_t bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out || !WriteNpy(out, descr, shape, data, bytes))
        return false;
    out.close();
    return !out.fail();
}

std::size_t Product(const std::vector<std::size_t>& shape)
{
    std::size_t n = 1;
    for (auto s : shape)
        n *= s;
    return n;
}

} // namespace

bool WriteNpyComplex128(const std::string& path, const std::vector<std::size_t>& shape,
    const std::vector<std::complex<double>>& data)
{
    if (data.size() != Product(shape))
        return false;
    return WriteNpyFile(path, "<c16", shape, data.data(), data.size() * sizeof(std::complex<double>));
}

bool WriteNpyComplex128(std::ostream& out, const std::vector<std::size_t>& shape,
    const std::vector<std::complex<double>>& data)
{
    if (data.size() != Product(shape))
        return false;
    return WriteNpy(out, "<c16", shape, data.data(), data.size() * sizeof(std::complex<double>));
}

bool WriteNpyFloat64(std::ostream& out, const std::vector<std::size_t>& shape, const std::vector<double>& data)
{
    if (data.size() != Product(shape))
        return false;
    return WriteNpy(out, "<f8", shape, data.data(), data.size() * sizeof(double));
}

bool WriteNpyFloat64(const std::string& path, const std::vector<std::size_t>& shape, const std::vector<double>& data)
{
    if (data.size() != Product(shape))
        return false;
    return WriteNpyFile(path, "<f8", shape, data.data(), data.size() * sizeof(double));
}

} // namespace ksn
