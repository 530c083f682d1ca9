#include "SeriesRun.h"

#include "AnalysisPanel.h"

#include "control/SimulationDriver.h"

namespace ksn::gui {

namespace {

// "parm<N> …" -> N, or -1.
int SectionOf(const QString& item)
{
    if (!item.startsWith(QStringLiteral("parm")))
        return -1;
    bool ok = false;
    const int n = item.mid(4).section(QLatin1Char(' '), 0, 0).toInt(&ok);
    return ok ? n : -1;
}

} // namespace

struct TSeriesRun::TImpl {};

TSeriesRun::TSeriesRun(TSimulationDriver& driver) : myDriver(driver), myImpl(std::make_unique<TImpl>()) {}
TSeriesRun::~TSeriesRun() = default;

bool TSeriesRun::Available() { return false; }

void TSeriesRun::Loaded() {}

bool TSeriesRun::Choose(bool x, int, const QString& item)
{
    const int section = SectionOf(item);
    if (section < 0)
        return false;
    if (item.contains(QStringLiteral("[wav]"))) {
        TField* field = myDriver.IncidentField();
        return field && (x ? field->SetXParm(section) : field->SetYParm(section));
    }
    if (item.contains(QStringLiteral("[lay]"))) {
        TBrelScenes* scene = myDriver.Scene();
        if (!scene)
            return false;
        if (x)
            scene->SetXParm(section);
        else
            scene->SetYParm(section);
        return true;
    }
    return false;
}

void TSeriesRun::Prepare(bool, const std::string&) {}

bool TSeriesRun::Start() { return false; }

bool TSeriesRun::WasStopped() const { return false; }

void TSeriesRun::Finished(TAnalysisPanel&) {}

void TSeriesRun::LogSummary() const {}

} // namespace ksn::gui
