#include "numerics/FastFourier.h"

#include "numerics/FFT12.h"
#include "numerics/GeneralError.h"

#include <fftw3.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <new>
#include <string>
#include <tuple>
#include <utility>

namespace ksn {

// The stored wisdom, built into the program from fftw-wisdom.txt (FftWisdom.cpp.in), line
// by line.
extern const char* const kStoredFftWisdomLines[];
extern const std::size_t kStoredFftWisdomLineCount;

namespace {

constexpr std::size_t kAlignment = 64;

double* AlignedAlloc(std::size_t count)
{
    const std::size_t bytes = (count * 2 * sizeof(double) + kAlignment - 1) / kAlignment * kAlignment;
    void* p = std::aligned_alloc(kAlignment, std::max(bytes, kAlignment));
    if (!p)
        throw std::bad_alloc();
    return static_cast<double*>(p);
}

// One batch of 1-D transforms: n points `stride` values apart, `howmany` of them
// `dist` values apart, in place.
struct TPlanShape {
    int n, howmany, stride, dist, direction;
    unsigned flags;
    bool operator<(const TPlanShape& o) const
    {
        return std::tie(n, howmany, stride, dist, direction, flags) <
               std::tie(o.n, o.howmany, o.stride, o.dist, o.direction, o.flags);
    }
};

// Every plan of the process, made once under the lock and kept until exit.
class TPlanRegistry {
public:
    ~TPlanRegistry()
    {
        for (auto& [shape, plan] : myPlans)
            fftw_destroy_plan(plan);
    }

    fftw_plan Get(const TPlanShape& shape)
    {
        std::lock_guard lock(myMutex);
        if (myUseWisdom && !myWisdomLoaded) {
            // Wisdom of another FFTW version or build is refused as a whole: every shape
            // is then planned by estimate.
            std::string wisdom;
            for (std::size_t k = 0; k < kStoredFftWisdomLineCount; ++k)
                wisdom.append(kStoredFftWisdomLines[k]).push_back('\n');
            fftw_import_wisdom_from_string(wisdom.c_str());
            myWisdomLoaded = true;
        }
        const auto it = myPlans.find(shape);
        if (it != myPlans.end())
            return it->second;
        const std::size_t count = std::size_t(shape.howmany - 1) * std::size_t(shape.dist) +
                                  std::size_t(shape.n - 1) * std::size_t(shape.stride) + 1;
        double* scratch = AlignedAlloc(count);
        std::fill_n(scratch, 2 * count, 0.0);
        auto* data = reinterpret_cast<fftw_complex*>(scratch);
        const int n = shape.n;
        const fftw_plan plan = fftw_plan_many_dft(1, &n, shape.howmany, data, nullptr, shape.stride, shape.dist, data,
                                                  nullptr, shape.stride, shape.dist, shape.direction, shape.flags);
        std::free(scratch);
        if (!plan)
            throw EGeneralError("FFTW: no plan for " + std::to_string(shape.howmany) + " transforms of length " +
                                std::to_string(shape.n));
        myPlans.emplace(shape, plan);
        return plan;
    }

    void SetPlanning(TFftPlanning p)
    {
        std::lock_guard lock(myMutex);
        myPlanning = p;
    }
    TFftPlanning Planning()
    {
        std::lock_guard lock(myMutex);
        return myPlanning;
    }
    void UseWisdom(bool use)
    {
        std::lock_guard lock(myMutex);
        myUseWisdom = use;
    }
    std::string Wisdom()
    {
        std::lock_guard lock(myMutex);
        char* text = fftw_export_wisdom_to_string();
        std::string wisdom = text ? text : "";
        std::free(text);
        return wisdom;
    }

private:
    std::mutex myMutex;
    std::map<TPlanShape, fftw_plan> myPlans;
    TFftPlanning myPlanning = TFftPlanning::estimate;
    bool myUseWisdom = true;
    bool myWisdomLoaded = false;
};

TPlanRegistry& Registry()
{
    static TPlanRegistry registry;
    return registry;
}

inline fftw_complex* AsFftw(double* p) { return reinterpret_cast<fftw_complex*>(p); }

inline int DirectionIndex(int sign) { return sign > 0 ? 0 : 1; }

} // namespace

void SetFftPlanning(TFftPlanning planning) { Registry().SetPlanning(planning); }

TFftPlanning GetFftPlanning() { return Registry().Planning(); }

void UseStoredFftWisdom(bool use) { Registry().UseWisdom(use); }

std::string ExportFftWisdom() { return Registry().Wisdom(); }

// ---------------------------------------------------------------------------------------
// TComplexBuffer

TComplexBuffer::~TComplexBuffer() { std::free(myData); }

TComplexBuffer::TComplexBuffer(TComplexBuffer&& other) noexcept
    : myData(std::exchange(other.myData, nullptr)), myCount(std::exchange(other.myCount, 0))
{
}

TComplexBuffer& TComplexBuffer::operator=(TComplexBuffer&& other) noexcept
{
    if (this != &other) {
        std::free(myData);
        myData = std::exchange(other.myData, nullptr);
        myCount = std::exchange(other.myCount, 0);
    }
    return *this;
}

void TComplexBuffer::Resize(std::size_t count)
{
    if (count <= myCount && myData)
        return;
    std::free(myData);
    myData = nullptr;
    myCount = 0;
    myData = AlignedAlloc(count);
    myCount = count;
}

// ---------------------------------------------------------------------------------------
// TFastFourier2D

void TFastFourier2D::Setup(int nx, int ny)
{
    if (nx == myNx && ny == myNy && myNx > 0)
        return;
    if (!IsPowerOfTwo(nx) || !IsPowerOfTwo(ny))
        throw EGeneralError("FastFourier: Size is not a power of two: " + std::to_string(nx) + " x " +
                            std::to_string(ny));
    // Row blocks of about 2048 values (32 KiB) and panels of 16 columns (256 bytes per
    // panel row): the sizes that measured fastest from 64 to 1024 points. A block or a
    // panel then starts at a multiple of 64 bytes whenever there is more than one.
    const int rowBlock = std::min(ny, std::max(1, 2048 / nx));
    const int panelWidth = std::min(nx, 16);
    const unsigned flags = GetFftPlanning() == TFftPlanning::measure ? FFTW_MEASURE : FFTW_ESTIMATE;
    void* rowPlan[2] = {};
    void* singleRowPlan[2] = {};
    void* panelPlan[2] = {};
    for (int d = 0; d < 2; ++d) {
        const int direction = d == 0 ? FFTW_FORWARD : FFTW_BACKWARD;
        if (nx > 1) {
            rowPlan[d] = Registry().Get({nx, rowBlock, 1, nx, direction, flags});
            // Any row, whatever its alignment.
            singleRowPlan[d] = Registry().Get({nx, 1, 1, nx, direction, flags | FFTW_UNALIGNED});
        }
        if (ny > 1)
            panelPlan[d] = Registry().Get({ny, panelWidth, panelWidth, 1, direction, flags});
    }
    myNx = nx;
    myNy = ny;
    myRowBlock = rowBlock;
    myPanelWidth = panelWidth;
    std::copy_n(rowPlan, 2, myRowPlan);
    std::copy_n(singleRowPlan, 2, mySingleRowPlan);
    std::copy_n(panelPlan, 2, myPanelPlan);
}

void TFastFourier2D::Rows(double* data, int sign, int block) const
{
    if (void* plan = myRowPlan[DirectionIndex(sign)]) {
        double* first = data + 2 * std::size_t(block) * std::size_t(myRowBlock) * std::size_t(myNx);
        fftw_execute_dft(static_cast<fftw_plan>(plan), AsFftw(first), AsFftw(first));
    }
}

void TFastFourier2D::Row(double* data, int sign, int row) const
{
    if (void* plan = mySingleRowPlan[DirectionIndex(sign)]) {
        double* first = data + 2 * std::size_t(row) * std::size_t(myNx);
        fftw_execute_dft(static_cast<fftw_plan>(plan), AsFftw(first), AsFftw(first));
    }
}

void TFastFourier2D::Columns(double* panel, int sign) const
{
    if (void* plan = myPanelPlan[DirectionIndex(sign)])
        fftw_execute_dft(static_cast<fftw_plan>(plan), AsFftw(panel), AsFftw(panel));
}

void TFastFourier2D::LoadPanel(const double* data, int b, double* panel) const
{
    const std::size_t width = std::size_t(myPanelWidth);
    const double* from = data + 2 * std::size_t(b) * width;
    for (int i = 0; i < myNy; ++i)
        std::memcpy(panel + 2 * std::size_t(i) * width, from + 2 * std::size_t(i) * std::size_t(myNx),
                    2 * width * sizeof(double));
}

void TFastFourier2D::StorePanel(const double* panel, int b, double* data, int firstRow, int lastRow) const
{
    const std::size_t width = std::size_t(myPanelWidth);
    double* to = data + 2 * std::size_t(b) * width;
    for (int i = firstRow; i < lastRow; ++i)
        std::memcpy(to + 2 * std::size_t(i) * std::size_t(myNx), panel + 2 * std::size_t(i) * width,
                    2 * width * sizeof(double));
}

void TFastFourier2D::Run(double* data, int sign, double* panel) const
{
    for (int block = 0; block < RowBlocks(); ++block)
        Rows(data, sign, block);
    if (myNy < 2)
        return;
    for (int b = 0; b < Panels(); ++b) {
        LoadPanel(data, b, panel);
        Columns(panel, sign);
        StorePanel(panel, b, data);
    }
}

// ---------------------------------------------------------------------------------------
// Centred transform of a complex array

// X = M . F . M with M(c, r) = (-1)^(c+r) and F the plain 2-D transform, scaled by
// 1/(nx ny) for the inverse: the reference's modulation on both sides, so the zero
// frequency lies at (nx/2, ny/2) and an axis of length 2 gives the same negated
// centred sum as there.
void FastCentredFFT(TComplexArray& a, int sign)
{
    const int nx = a.Nx(), ny = a.Ny();
    if (nx == 0 || ny == 0 || !IsPowerOfTwo(nx) || !IsPowerOfTwo(ny) || (sign != 1 && sign != -1) ||
        !a.XAxis().centred || !a.YAxis().centred) {
        a.FFT(sign);
        return;
    }
    thread_local TFastFourier2D transform;
    thread_local TComplexBuffer work;
    thread_local TComplexBuffer panel;
    transform.Setup(nx, ny);
    const std::size_t count = std::size_t(nx) * std::size_t(ny);
    work.Resize(count);
    panel.Resize(transform.PanelSize());
    double* re = a.Re();
    double* im = a.Im();
    double* w = work.Data();
    // work(c, r) = (-1)^(c+r) a(c, r)
    for (int r = 0; r < ny; ++r) {
        const std::size_t row = std::size_t(r) * std::size_t(nx);
        for (int c = 0; c < nx; ++c) {
            const double s = ((c + r) & 1) ? -1.0 : 1.0;
            w[2 * (row + c)] = s * re[row + c];
            w[2 * (row + c) + 1] = s * im[row + c];
        }
    }
    transform.Run(w, sign, panel.Data());
    // a(c, r) = (-1)^(c+r) work(c, r) / (1 or nx ny)
    const double scale = sign < 0 ? 1.0 / double(count) : 1.0;
    for (int r = 0; r < ny; ++r) {
        const std::size_t row = std::size_t(r) * std::size_t(nx);
        for (int c = 0; c < nx; ++c) {
            const double s = ((c + r) & 1) ? -scale : scale;
            re[row + c] = s * w[2 * (row + c)];
            im[row + c] = s * w[2 * (row + c) + 1];
        }
    }
}

} // namespace ksn
