#include "engine/CoefficientCache.h"

#include <bit>

namespace ksn {

namespace {

constexpr std::size_t kMetLimit = 1 << 16;

} // namespace

std::size_t TCoefficientCache::TKeyHash::operator()(const TCoefficientKey& k) const
{
    // FNV-1a over the key's bit patterns (the tuple parts are already +0.0-normalised).
    std::uint64_t h = 1469598103934665603ULL;
    const auto mix = [&h](std::uint64_t v) {
        for (int b = 0; b < 8; ++b) {
            h ^= (v >> (8 * b)) & 0xff;
            h *= 1099511628211ULL;
        }
    };
    mix(std::bit_cast<std::uint64_t>(k.tuple.n1.re));
    mix(std::bit_cast<std::uint64_t>(k.tuple.n1.im));
    mix(std::bit_cast<std::uint64_t>(k.tuple.n2.re));
    mix(std::bit_cast<std::uint64_t>(k.tuple.n2.im));
    mix(std::uint64_t(k.rule));
    mix(std::uint64_t(std::uint32_t(k.variant)) | (std::uint64_t(std::uint32_t(k.inputs)) << 32));
    return std::size_t(h);
}

void TCoefficientCache::Clear()
{
    myIndex.clear();
    myEntries.clear();
    myMet.clear();
    myBytes = 0;
}

TCoefficientTable* TCoefficientCache::Acquire(const TCoefficientKey& key, std::size_t count, int panels, bool eager)
{
    const std::size_t bytes = count * 2 * sizeof(double);
    const auto found = myIndex.find(key);
    if (found != myIndex.end()) {
        myEntries.splice(myEntries.begin(), myEntries, found->second);
        TEntry& e = myEntries.front();
        e.step = myStep;
        ++myHits;
        return &e.table;
    }
    ++myMisses;
    if (!eager && myMet.insert(key).second) {
        // Met once; the record of such keys is forgotten now and then, so that a long
        // run of ever new tuples does not grow it without bound.
        if (myMet.size() > kMetLimit) {
            myMet.clear();
            myMet.insert(key);
        }
        return nullptr;
    }
    myMet.erase(key);
    // Evict from the least recently used end, never a table of this step; an evicted
    // table's buffer is taken over when it is large enough (fresh memory costs page
    // faults, reused memory does not).
    TComplexBuffer recycled;
    while (myBytes + bytes > myBudget && !myEntries.empty() && myEntries.back().step != myStep) {
        TEntry& victim = myEntries.back();
        myBytes -= victim.table.values.Bytes();
        if (victim.table.values.Count() >= count && recycled.Count() == 0)
            recycled = std::move(victim.table.values);
        myIndex.erase(victim.key);
        myEntries.pop_back();
        ++myEvictions;
    }
    if (myBytes + bytes > myBudget)
        return nullptr;
    myEntries.push_front(TEntry{key, {}, myStep});
    TEntry& e = myEntries.front();
    e.table.values = std::move(recycled);
    e.table.values.Resize(count);
    e.table.livePanels.assign(std::size_t(panels), 0);
    myBytes += e.table.values.Bytes();
    myIndex.emplace(key, myEntries.begin());
    return &e.table;
}

} // namespace ksn
