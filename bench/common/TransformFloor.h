#pragma once
// The transform floor of a step and the least-time bookkeeping of the benchmarks that
// compare steps with it (FFTW is linked directly for the floor's own plans).
//
// TFloor runs `forward` forward and `inverse` inverse 2-D transforms of an nx x ny grid:
// FFTW plans made with measurement (in place, 64-byte aligned), the best FFTW does and so
// the floor of a step that transforms that often; or the steps' own fast transform
// (numerics/FastFourier.h).
//
// TSharedFloor runs the same transforms with the steps' own fast transform shared by a
// work team of T threads as the steps share theirs: the row pass by row blocks, then the
// column pass by batches of panels (each loaded, transformed and stored back), one team
// run each. What a step on T threads could take at best if it did nothing but its
// transforms; its 2-thread gain is the most a step that splits its transforms between
// the cores can gain on the machine at the moment, hand-over of half of every
// transform's values between the cores included.
//
// TLeastTimeReporter keeps, per benchmark, the least wall time and the least processor
// time of the calling thread over the repetitions (milliseconds per iteration): on a
// shared machine the least disturbed run.
#include "numerics/FastFourier.h"
#include "pool/WorkTeam.h"

#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <vector>

namespace ksn::bench {

class TFloor {
public:
    TFloor(int nx, int ny, bool fftw) : myData(size_t(nx) * size_t(ny))
    {
        for (size_t k = 0; k < 2 * myData.Count(); ++k)
            myData.Data()[k] = 1e-3 * std::sin(0.37 * double(k));
        if (fftw) {
            auto* d = reinterpret_cast<fftw_complex*>(myData.Data());
            myForward = fftw_plan_dft_2d(ny, nx, d, d, FFTW_FORWARD, FFTW_MEASURE);
            myInverse = fftw_plan_dft_2d(ny, nx, d, d, FFTW_BACKWARD, FFTW_MEASURE);
        } else {
            myFast.Setup(nx, ny);
            myPanel.Resize(myFast.PanelSize());
        }
    }
    ~TFloor()
    {
        if (myForward)
            fftw_destroy_plan(myForward);
        if (myInverse)
            fftw_destroy_plan(myInverse);
    }
    TFloor(const TFloor&) = delete;
    TFloor& operator=(const TFloor&) = delete;

    void Run(int forward, int inverse)
    {
        for (int m = 0; m < forward; ++m)
            Transform(+1);
        for (int m = 0; m < inverse; ++m)
            Transform(-1);
    }

private:
    void Transform(int sign)
    {
        if (myForward) {
            fftw_execute(sign > 0 ? myForward : myInverse);
            return;
        }
        myFast.Run(myData.Data(), sign, myPanel.Data());
    }

    TComplexBuffer myData;
    TComplexBuffer myPanel;
    TFastFourier2D myFast;
    fftw_plan myForward = nullptr;
    fftw_plan myInverse = nullptr;
};

class TSharedFloor {
public:
    TSharedFloor(int nx, int ny, int threads) : myData(size_t(nx) * size_t(ny)), myTeam(threads)
    {
        for (size_t k = 0; k < 2 * myData.Count(); ++k)
            myData.Data()[k] = 1e-3 * std::sin(0.37 * double(k));
        myFast.Setup(nx, ny);
        for (int w = 0; w < threads; ++w)
            myPanels.emplace_back(myFast.PanelSize());
        // Panel batches of at least some 2048 values, as the steps hand them out.
        myBatch = std::max(1, int(2048 / myFast.PanelSize()));
        myBatches = (myFast.Panels() + myBatch - 1) / myBatch;
    }

    void Run(int forward, int inverse)
    {
        for (int m = 0; m < forward + inverse; ++m)
            Transform(m < forward ? +1 : -1);
    }

private:
    void Transform(int sign)
    {
        double* data = myData.Data();
        myTeam.Run(myFast.RowBlocks(), [&](int block, int) { myFast.Rows(data, sign, block); });
        if (myFast.Ny() < 2)
            return;
        myTeam.Run(myBatches, [&](int item, int worker) {
            double* panel = myPanels[size_t(worker)].Data();
            for (int b = item * myBatch; b < std::min(myFast.Panels(), (item + 1) * myBatch); ++b) {
                myFast.LoadPanel(data, b, panel);
                myFast.Columns(panel, sign);
                myFast.StorePanel(panel, b, data);
            }
        });
    }

    TComplexBuffer myData;
    TFastFourier2D myFast;
    TWorkTeam myTeam;
    std::vector<TComplexBuffer> myPanels;
    int myBatch = 1, myBatches = 1;
};

class TLeastTimeReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.iterations == 0)
                continue;
            // The run's name without the "/iterations:N" and "/real_time" suffixes.
            std::string name = run.benchmark_name();
            for (const char* suffix : {"/iterations:", "/real_time"})
                if (const auto at = name.find(suffix); at != std::string::npos)
                    name.erase(at);
            Keep(myWall, name, run.real_accumulated_time * 1e3 / double(run.iterations));
            Keep(myCpu, name, run.cpu_accumulated_time * 1e3 / double(run.iterations));
        }
    }

    // Least wall (or processor) time of a benchmark, NaN when it did not run.
    double Wall(const std::string& name) const { return Get(myWall, name); }
    double Cpu(const std::string& name) const { return Get(myCpu, name); }

private:
    static void Keep(std::map<std::string, double>& best, const std::string& name, double ms)
    {
        auto [it, added] = best.emplace(name, ms);
        if (!added && ms < it->second)
            it->second = ms;
    }
    static double Get(const std::map<std::string, double>& best, const std::string& name)
    {
        const auto it = best.find(name);
        return it == best.end() ? std::nan("") : it->second;
    }

    std::map<std::string, double> myWall, myCpu;
};

} // namespace ksn::bench
