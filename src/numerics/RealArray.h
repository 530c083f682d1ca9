#pragma once
#include "numerics/Axis.h"
#include "numerics/PageArena.h"

#include <cassert>
#include <cstddef>
#include <cstdlib>
#include <new>
#include <utility>
#include <vector>

namespace ksn {

// Element storage that is zero from the start: large blocks come straight from the
// kernel's zero pages (PageArena.h), so a new array costs no page until it is written (a
// field's map that a method never fills stays free). Elements are default-initialised, which
// keeps calloc's zeros; only a vector constructed with a count may rely on that.
template <class T>
struct TZeroedAllocator {
    using value_type = T;
    TZeroedAllocator() = default;
    template <class U>
    TZeroedAllocator(const TZeroedAllocator<U>&) noexcept
    {
    }
    T* allocate(std::size_t n)
    {
        if (n > std::size_t(-1) / sizeof(T))
            throw std::bad_alloc();
        return static_cast<T*>(ZeroedAllocate(n * sizeof(T)));
    }
    void deallocate(T* p, std::size_t n) noexcept { ZeroedFree(p, n * sizeof(T)); }
    template <class U>
    void construct(U*) noexcept
    {
    }
    template <class U, class... A>
    void construct(U* p, A&&... args)
    {
        ::new (static_cast<void*>(p)) U(std::forward<A>(args)...);
    }
    template <class U>
    bool operator==(const TZeroedAllocator<U>&) const noexcept
    {
        return true;
    }
};

// Owning nx x ny array of doubles, stored row by row with x fastest: element (x, y)
// lives at (x - base) + (y - base) * nx. Dimension 0 is x, dimension 1 is y.
class TRealArray {
public:
    TRealArray(int nx = 0, int ny = 0);
    virtual ~TRealArray() = default;
    TRealArray(const TRealArray&) = default;
    TRealArray& operator=(const TRealArray&) = default;

    // Sets nx (dimension 0) or ny (dimension 1). Storage is reallocated and zeroed only
    // when the product nx*ny changes; otherwise the element block is kept.
    virtual void SetSize(int dimension, int n);
    void SetBase(int base) { myBase = base; }
    int Base() const { return myBase; }
    int Nx() const { return myNx; }
    int Ny() const { return myNy; }
    int Count() const { return myNx * myNy; }

    // Range-checked (when rangeCheck is on) element access; messages
    // "RealArray: Write x beyond range: <x>" and the Read/y variants.
    void Put(int x, int y, double value);
    double Get(int x, int y) const;
    // Unchecked access with 0-based indices, for kernels.
    double& At(int ix, int iy) { return myData[size_t(ix) + size_t(iy) * size_t(myNx)]; }
    double At(int ix, int iy) const { return myData[size_t(ix) + size_t(iy) * size_t(myNx)]; }

    double Max() const;
    double Min() const;
    // Takes the source's size, elements and both axes.
    void Assign(const TRealArray& source);
    // Copies a flat row-major block; throws "RealArray.Preset: Sizes don't match".
    virtual void Preset(const double* values, std::size_t count);
    void Fill(double value);

    double* Data() { return myData.data(); }
    const double* Data() const { return myData.data(); }
    TAxis& XAxis() { return myXAxis; }
    TAxis& YAxis() { return myYAxis; }
    const TAxis& XAxis() const { return myXAxis; }
    const TAxis& YAxis() const { return myYAxis; }

    bool rangeCheck = false;

private:
    std::vector<double, TZeroedAllocator<double>> myData;
    int myNx = 0;
    int myNy = 0;
    int myBase = 0;
    TAxis myXAxis;
    TAxis myYAxis;
};

} // namespace ksn
