// Loading a configuration with many layer sections: every key lookup finds its section
// through the index, so the time grows with the file size (compare 2000 and 20000
// layers), not with its square.
#include "config/Configuration.h"
#include "config/Messages.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

class TNoSink : public ksn::TMessageSink {
public:
    void ShowMessage(const std::string&) override {}
    void LogLine(const std::string&) override {}
};

std::string ManyLayers(int layers)
{
    std::string text = "[global]\nmultithreaded=0\nmodulotracking=0\nmodulus=1\nsimmethod=swpm\nlayernum=" +
                       std::to_string(layers) +
                       "\nwavenum=1\nscale=um\nlargescene=1\nbidirectional=0\nreflections=0\nextraModes=0\n"
                       "allcomplex=0\nparmvariation=0\nnumofparms=0\nindependent=0\nevanescent=0\nX=8\nY=8\nZ=" +
                       std::to_string(layers) + "\nnx=8\nny=8\nnz=" + std::to_string(layers) + "\n";
    for (int i = 0; i < layers; ++i)
        text += "[layer" + std::to_string(i) +
                "]\ntype=Homog\nZ=1\nnSubject=1.5\nkappaSubject=0\nnSpace=1\nkappaSpace=0\nreport=1\n";
    text += "[wave0]\nshape=plane\nangular=deg\nlambda=1\ntheta=0\ndelta=0\nrho=0\npsi=0\namplitude=1\n"
            "shiftx=0\nshifty=0\nshiftz=0\n";
    return text;
}

void LoadManyLayers(benchmark::State& state)
{
    const int layers = int(state.range(0));
    const std::string path =
        (std::filesystem::temp_directory_path() / ("ksn_bench_layers_" + std::to_string(::getpid()) + ".ini")).string();
    std::ofstream(path) << ManyLayers(layers);
    TNoSink sink;
    const ksn::TScopedMessageSink scope(&sink);
    for (auto _ : state) {
        ksn::TConfiguration config;
        if (!ksn::LoadConfiguration(path, config))
            state.SkipWithError("the file does not load");
        benchmark::DoNotOptimize(config.layers.data());
    }
    state.SetItemsProcessed(state.iterations() * layers);
    std::remove(path.c_str());
}
BENCHMARK(LoadManyLayers)->Arg(2000)->Arg(20000)->Unit(benchmark::kMillisecond);

} // namespace
