// The price of handing data between two cores, in one run, on a 128 KiB buffer (half a
// 128 x 128 field of complex doubles, what one thread of two hands the other between the
// two passes of a shared 2-D transform):
//
//   Read/own            this core reads what it wrote itself
//   Read/fromOther      it reads what the partner core has just written
//   Write/own           this core overwrites its own data
//   Write/afterOtherWrote  it overwrites what the partner has just written (the lines
//                       come over modified, in one transfer each)
//   Write/afterOtherRead   it overwrites its own data the partner has just read (the
//                       lines are shared, and each copy on the partner must be
//                       invalidated before the write)
//   TeamRun/<T>         one TWorkTeam run of 8 empty items on T threads: the hand-over of
//                       a run itself (announcement, claims, completion)
//
// Each timed part runs while the partner waits; wall time per buffer (manual timing).
// This is why a step's stages keep their rows on one core, why its passes work on the
// data they were handed in place (a line only read here stays shared and costs the next
// writer an invalidation), and why a step runs few team runs per slice.
#include "pool/WorkTeam.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <thread>
#include <vector>

namespace {

constexpr std::size_t kValues = 128 * 1024 / sizeof(double);

// Sum of the buffer in four running sums (one would make it a chain of additions).
double Sum(const std::vector<double>& b)
{
    double s[4] = {};
    for (std::size_t i = 0; i < kValues; i += 4)
        for (std::size_t l = 0; l < 4; ++l)
            s[l] += b[i + l];
    return (s[0] + s[1]) + (s[2] + s[3]);
}

enum class TPartner { idle, write, read };

// A thread that, on request, writes or reads the shared buffer and reports back.
class TPartnerCore {
public:
    explicit TPartnerCore(std::vector<double>& buffer) : myBuffer(buffer), myThread([this] { Loop(); }) {}
    ~TPartnerCore()
    {
        myStop.store(true, std::memory_order_release);
        myThread.join();
    }
    void Do(TPartner what)
    {
        myRequest.store(int(what), std::memory_order_release);
        while (myRequest.load(std::memory_order_acquire) != int(TPartner::idle))
            std::this_thread::yield();
    }
    double Sink() const { return mySink; }

private:
    void Loop()
    {
        while (!myStop.load(std::memory_order_acquire)) {
            const int what = myRequest.load(std::memory_order_acquire);
            if (what == int(TPartner::write)) {
                for (std::size_t i = 0; i < kValues; ++i)
                    myBuffer[i] = double(i);
            } else if (what == int(TPartner::read)) {
                mySink += Sum(myBuffer);
            } else {
                continue;
            }
            myRequest.store(int(TPartner::idle), std::memory_order_release);
        }
    }

    std::vector<double>& myBuffer;
    std::atomic<int> myRequest{int(TPartner::idle)};
    std::atomic<bool> myStop{false};
    double mySink = 0;
    std::thread myThread;
};

enum class TCase { readOwn, readFromOther, writeOwn, writeAfterOtherWrote, writeAfterOtherRead };

void HandOver(benchmark::State& state, TCase c)
{
    std::vector<double> buffer(kValues, 1.0);
    TPartnerCore partner(buffer);
    double sink = 0;
    for (auto _ : state) {
        // Before: the buffer's lines where the case wants them.
        if (c == TCase::readFromOther || c == TCase::writeAfterOtherWrote) {
            partner.Do(TPartner::write);
        } else {
            for (std::size_t i = 0; i < kValues; ++i)
                buffer[i] = double(i);
            if (c == TCase::writeAfterOtherRead)
                partner.Do(TPartner::read);
        }
        const auto start = std::chrono::steady_clock::now();
        if (c == TCase::readOwn || c == TCase::readFromOther) {
            sink += Sum(buffer);
        } else {
            for (std::size_t i = 0; i < kValues; ++i)
                buffer[i] = 0.5 * double(i);
        }
        benchmark::ClobberMemory();
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    benchmark::DoNotOptimize(sink + partner.Sink());
}

void TeamRun(benchmark::State& state)
{
    ksn::TWorkTeam team(int(state.range(0)));
    std::vector<int> done(64 * 8);
    const ksn::TWorkTeam::TBody body = [&](int item, int) { ++done[std::size_t(item) * 64]; };
    for (auto _ : state)
        team.Run(8, body);
    benchmark::DoNotOptimize(done.data());
}

} // namespace

BENCHMARK_CAPTURE(HandOver, Read/own, TCase::readOwn)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(HandOver, Read/fromOther, TCase::readFromOther)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(HandOver, Write/own, TCase::writeOwn)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(HandOver, Write/afterOtherWrote, TCase::writeAfterOtherWrote)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(HandOver, Write/afterOtherRead, TCase::writeAfterOtherRead)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(TeamRun)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);
