#pragma once
// What a front end hands to a run: the message sink (message boxes, log lines,
// progress) plus the per-slice display hand-over. The driver installs it on the thread
// that runs the load or the run, so everything the core reports during that operation
// reaches this observer and no other.
#include "config/Messages.h"

namespace ksn {

class TField;
class TBrelScenes;

class TRunObserver : public TMessageSink {
public:
    // Slice z of a sweep has been computed; `pass` is 0 for the forward sweep and counts
    // the reflection passes after it. `field` is the run's working field, reused for later
    // slices: an observer that keeps it for display must copy what it shows before
    // returning. Called on the thread that runs the sweep.
    virtual void SliceComputed(int /*z*/, int /*pass*/, const TField& /*field*/, const TBrelScenes& /*scene*/) {}
    // Run `run` (0-based) of a parameter-variation series of `runs` has been reduced and
    // entered into the series' graphs and maps. The driver still holds that run's slices,
    // and the scene and field that run's records, until the observer returns.
    virtual void VariationDone(int /*run*/, int /*runs*/) {}
};

} // namespace ksn
