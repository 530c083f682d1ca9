#include "SeriesRun.h"

#include "control/SimulationDriver.h"

namespace ksn::gui {

int SectionOf(const QString& item)
{
    if (!item.startsWith(QStringLiteral("parm")))
        return -1;
    bool ok = false;
    const int n = item.mid(4).section(QLatin1Char(' '), 0, 0).toInt(&ok);
    return ok ? n : -1;
}

TSeriesRun::TSeriesRun(TSimulationDriver& driver) : mySeries(driver)
{
    // The window shows the box itself, after the log has caught up.
    mySeries.SetFinishedMessage(false);
}

void TSeriesRun::Loaded(const QStringList& items)
{
    mySeries.SetXParm(-1);
    mySeries.SetYParm(-1);
    if (items.isEmpty())
        return;
    mySeries.SetXParm(SectionOf(items.front()));
    mySeries.SetYParm(SectionOf(items.size() > 1 ? items.at(1) : items.front()));
}

bool TSeriesRun::Choose(bool x, const QString& item)
{
    const int section = SectionOf(item);
    return x ? mySeries.SetXParm(section) : mySeries.SetYParm(section);
}

void TSeriesRun::Prepare(bool saveIniFiles, const std::string& numberFormat)
{
    mySeries.SetSaveIniFiles(saveIniFiles);
    mySeries.SetNumberFormat(numberFormat);
    const std::lock_guard lock(myMutex);
    myLatest.reset();
}

bool TSeriesRun::Start()
{
    const bool ok = mySeries.Start();
    if (ok)
        TakeSnapshot();
    return ok;
}

void TSeriesRun::TakeSnapshot()
{
    TSeriesSnapshot s;
    const TSeriesGraph* graphs[3] = {&mySeries.IntensityGraph(), &mySeries.AbsorptionGraph(),
        &mySeries.EnergyFluxGraph()};
    s.total = mySeries.Total();
    for (int q = 0; q < 3; ++q)
        s.y[size_t(q)] = graphs[q]->y;
    s.entered = graphs[0]->entered;
    const TSeriesMaps& m = mySeries.Maps();
    s.mapsOn = m.on;
    if (m.on) {
        s.nX = m.nX;
        s.nY = m.nY;
        const TRealArray* maps[3] = {&m.intensity, &m.absorption, &m.energyFlux};
        for (int q = 0; q < 3; ++q)
            s.maps[size_t(q)].assign(maps[q]->Data(), maps[q]->Data() + maps[q]->Count());
        // Captions name the varied parameter, and the part of a complex one.
        const auto caption = [](const TParmsVariation& v, bool usesRe) {
            std::string text = ParmsName(v.parm);
            if (v.parm == TParms::nSubject || v.parm == TParms::nSpace || v.parm == TParms::deltaN)
                text += usesRe ? " (Re)" : " (Im)";
            return text;
        };
        s.xAxis = {m.xLo, m.xHi, m.xHi != m.xLo, caption(m.xVariation, m.xUsesRe)};
        s.yAxis = {m.yLo, m.yHi, m.yHi != m.yLo, caption(m.yVariation, m.yUsesRe)};
    }
    const std::lock_guard lock(myMutex);
    myLatest = std::move(s);
}

void TSeriesRun::Show(TAnalysisPanel& analysis)
{
    std::optional<TSeriesSnapshot> s;
    {
        const std::lock_guard lock(myMutex);
        s.swap(myLatest);
    }
    if (!s)
        return;
    analysis.ShowSeries(s->total, s->y, s->entered);
    if (s->mapsOn)
        analysis.ShowMaps(s->nX, s->nY, s->maps, s->xAxis, s->yAxis);
}

} // namespace ksn::gui
