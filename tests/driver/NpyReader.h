#pragma once
// Minimal reader of the .npy files ksn writes (version 1.0, little-endian, C order).
#include <complex>
#include <cstring>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace ksn::test {

struct TNpy {
    std::string descr;
    std::vector<size_t> shape;
    std::vector<char> bytes;

    template <typename T>
    std::vector<T> As() const
    {
        std::vector<T> out(bytes.size() / sizeof(T));
        std::memcpy(out.data(), bytes.data(), out.size() * sizeof(T));
        return out;
    }
};

inline bool ReadNpy(const std::string& path, TNpy& npy)
{
    std::ifstream in(path, std::ios::binary);
    char magic[8];
    if (!in.read(magic, 8) || std::string(magic, 6) != "\x93NUMPY")
        return false;
    unsigned char len[2];
    in.read(reinterpret_cast<char*>(len), 2);
    const size_t headerLength = size_t(len[0]) | (size_t(len[1]) << 8);
    std::string header(headerLength, '\0');
    in.read(header.data(), std::streamsize(header.size()));
    const auto d = header.find("'descr': '");
    npy.descr = header.substr(d + 10, header.find('\'', d + 10) - d - 10);
    const auto s = header.find('(');
    const auto e = header.find(')', s);
    npy.shape.clear();
    std::string dims = header.substr(s + 1, e - s - 1);
    size_t pos = 0;
    while (pos < dims.size()) {
        const auto comma = dims.find(',', pos);
        const std::string part = dims.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos);
        if (part.find_first_of("0123456789") != std::string::npos)
            npy.shape.push_back(std::stoul(part));
        if (comma == std::string::npos)
            break;
        pos = comma + 1;
    }
    npy.bytes.assign(std::istreambuf_iterator<char>(in), {});
    return true;
}

} // namespace ksn::test
