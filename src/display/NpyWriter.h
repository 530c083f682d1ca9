#pragma once
// Writers of NumPy .npy files (format version 1.0, little-endian, C order), so that
// results load directly with numpy.load.
#include <complex>
#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

namespace ksn {

// dtype "<c16": complex128. data.size() must equal the product of shape.
bool WriteNpyComplex128(const std::string& path, const std::vector<std::size_t>& shape,
    const std::vector<std::complex<double>>& data);
// dtype "<f8": float64.
bool WriteNpyFloat64(const std::string& path, const std::vector<std::size_t>& shape, const std::vector<double>& data);

// The same into a stream (a TOutputFolder file); false when the sizes disagree or the
// stream failed.
bool WriteNpyComplex128(std::ostream& out, const std::vector<std::size_t>& shape,
    const std::vector<std::complex<double>>& data);
bool WriteNpyFloat64(std::ostream& out, const std::vector<std::size_t>& shape, const std::vector<double>& data);

} // namespace ksn
