// Start: the single run or the parameter-variation series, its odometer between field
// and scene, the x and y choices, the parmvar<j>.txt files and the table of runs.
#include "control/VariationSeries.h"

#include "config/ConfigText.h"
#include "config/FloatText.h"
#include "config/Messages.h"
#include "control/SimulationDriver.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace ksn {

namespace {

bool IsWaveParm(TParms p) { return p >= TParms::lambda && p <= TParms::sigmaY; }
bool IsLayerParm(TParms p) { return p <= TParms::deltaN; }
bool IsComplexParm(TParms p) { return p == TParms::nSubject || p == TParms::nSpace || p == TParms::deltaN; }

double WaveValue(const TFieldOptions& w, TParms p)
{
    switch (p) {
    case TParms::lambda: return w.lambda;
    case TParms::theta: return w.theta;
    case TParms::rho: return w.rho;
    case TParms::psi: return w.psi;
    case TParms::delta: return w.delta;
    case TParms::amplitude: return w.amplitude;
    case TParms::sigmaX: return w.sigmaX;
    case TParms::sigmaY: return w.sigmaY;
    default: return 0;
    }
}

bool SameVariation(const TParmsVariation& a, const TParmsVariation& b)
{
    return a.num == b.num && a.steps == b.steps && a.parm == b.parm && a.first.re == b.first.re &&
           a.first.im == b.first.im && a.delta.re == b.delta.re && a.delta.im == b.delta.im;
}

} // namespace

TVariationSeries::TVariationSeries(TSimulationDriver& driver) : myDriver(driver) {}

void TVariationSeries::SetSaveIniFiles(bool on, const std::string& folder)
{
    mySaveIniFiles = on;
    myIniFolder = folder;
}

void TVariationSeries::SetNumberFormat(const std::string& format)
{
    myNumberFormat = format;
    myMaps.numberFormat = format;
    for (TSeriesGraph* g : {&myIntensityGraph, &myAbsorptionGraph, &myEnergyFluxGraph})
        g->yFormat = format;
}

// ---------------------------------------------------------------------------------------
// X-Parm and Y-Parm

bool TVariationSeries::IsUsable(int section) const
{
    const TConfiguration& c = myDriver.Configuration();
    if (section < 0 || size_t(section) >= c.parms.size() || size_t(section) >= c.parmTypes.size())
        return false;
    const TParmsType type = c.parmTypes[size_t(section)];
    return (type == TParmsType::wave || type == TParmsType::layer) &&
           TVariationOdometer::IsActive(c.parms[size_t(section)]);
}

int TVariationSeries::UsableCount() const
{
    int count = 0;
    for (size_t n = 0; n < myDriver.Configuration().parms.size(); ++n)
        count += IsUsable(int(n)) ? 1 : 0;
    return count;
}

// The entry of the section's side that holds its record. The choices swap entries, so a
// section is found by its record, not by its number.
int TVariationSeries::PositionOf(int section) const
{
    if (!IsUsable(section))
        return -1;
    const TConfiguration& c = myDriver.Configuration();
    const TParmsVariationArr* entries = nullptr;
    if (c.parmTypes[size_t(section)] == TParmsType::wave) {
        if (const TField* field = myDriver.IncidentField())
            entries = &field->Variations();
    } else if (const TBrelScenes* scene = myDriver.Scene()) {
        entries = &scene->Variations();
    }
    if (!entries)
        return -1;
    const TParmsVariation& record = c.parms[size_t(section)];
    if (size_t(section) < entries->size() && SameVariation((*entries)[size_t(section)], record))
        return section;
    for (size_t i = 0; i < entries->size(); ++i)
        if (SameVariation((*entries)[i], record))
            return int(i);
    return -1;
}

// Moves the section's record into entry `slot` (0: x, 1: y) of its side.
void TVariationSeries::ApplyChoice(int section, int slot)
{
    const int at = PositionOf(section);
    if (at < 0)
        return;
    if (myDriver.Configuration().parmTypes[size_t(section)] == TParmsType::wave) {
        TField* field = myDriver.IncidentField();
        slot == 0 ? field->SetXParm(at) : field->SetYParm(at);
    } else {
        TBrelScenes* scene = myDriver.Scene();
        slot == 0 ? scene->SetXParm(at) : scene->SetYParm(at);
    }
}

bool TVariationSeries::SetXParm(int section)
{
    if (section < 0) {
        myXSection = -1;
        return true;
    }
    if (!IsUsable(section) || PositionOf(section) < 0) {
        ShowMessage("Error in TForm1.ComboBox3Change(Sender: TObject). Called Scene.SetXParm(ComboBox3.ItemIndex) "
                    "without success (i=" + std::to_string(section) + ")");
        return false;
    }
    if (section == myYSection && UsableCount() > 1) {
        ShowMessage("X-Parm and Y-Parm name the same variation [parm" + std::to_string(section) +
                    "]. Please choose two different ones.");
        return false;
    }
    myXSection = section;
    ApplyChoice(section, 0);
    return true;
}

bool TVariationSeries::SetYParm(int section)
{
    if (section < 0) {
        myYSection = -1;
        return true;
    }
    if (!IsUsable(section) || PositionOf(section) < 0) {
        ShowMessage("Error in TForm1.ComboBox4Change(Sender: TObject). Called Scene.SetYParm(ComboBox4.ItemIndex) "
                    "without success (i=" + std::to_string(section) + ")");
        return false;
    }
    // With a single variation both axes name it (nY = nX); otherwise moving the x
    // variation into the y entry would take it off the x axis.
    if (section == myXSection && UsableCount() > 1) {
        ShowMessage("X-Parm and Y-Parm name the same variation [parm" + std::to_string(section) +
                    "]. Please choose two different ones.");
        return false;
    }
    myYSection = section;
    if (section != myXSection)
        ApplyChoice(section, 1);
    return true;
}

int TVariationSeries::Kind(int slot) const
{
    const TConfiguration& c = myDriver.Configuration();
    const int chosen = slot == 0 ? myXSection : myYSection;
    const size_t section = chosen >= 0 ? size_t(chosen) : size_t(slot);
    return section < c.parmTypes.size() ? int(c.parmTypes[section]) : kUnknownEnum;
}

// ---------------------------------------------------------------------------------------
// Start

bool TVariationSeries::Start()
{
    const TScopedMessageSink scope(myDriver.Observer());
    myStopped = false;
    myInterruptedRun = -1;
    const bool variation = myDriver.IsLoaded() && myDriver.Configuration().global.parmVariation;
    const bool ok = variation ? RunSeries() : myDriver.Run();
    if (!ok)
        return false;
    Log("Simulation Finished.");
    if (variation) {
        Log("---------------- Absorption --------------------- ");
        Log("Integral of Abs over dX : " + FormatReal(myLastAbsorptionSum));
        Log("---------------- End-Report --------------------- ");
        if (myStopped)
            Log(std::to_string(RunsDone()) + " of " + std::to_string(myTotal) + " parameter variations completed.");
        else
            Log(std::to_string(myTotal) + " parameter variations completed.");
    }
    if (myFinishedMessage)
        ShowMessage("Simulation Finished.");
    return true;
}

// Every usable section must name a parameter of its kind and an existing wave or layer:
// otherwise its wheel would turn without changing anything the run uses.
bool TVariationSeries::CheckVariations()
{
    const TConfiguration& c = myDriver.Configuration();
    const int waves = myDriver.IncidentField() ? int(myDriver.IncidentField()->Waves().size()) : 0;
    const int layers = int(myDriver.Scene()->Layers().size());
    for (size_t n = 0; n < c.parms.size(); ++n) {
        if (!IsUsable(int(n)))
            continue;
        const TParmsVariation& v = c.parms[n];
        const bool wave = c.parmTypes[n] == TParmsType::wave;
        const std::string head = "Cannot start parameter variation. [parm" + std::to_string(n) + "] ";
        if (wave ? !IsWaveParm(v.parm) : !IsLayerParm(v.parm)) {
            ShowMessage(head + "varies " + ParmsName(v.parm) + ", which is no parameter of a " +
                        (wave ? "wave." : "layer."));
            return false;
        }
        if (v.num < 0 || v.num >= (wave ? waves : layers)) {
            ShowMessage(head + "names " + (wave ? "wave " : "layer ") + std::to_string(v.num) + ", which does not exist.");
            return false;
        }
    }
    return true;
}

// The incident beams anew from the field's wave list, in the medium of slice 0.
void TVariationSeries::RegenerateField()
{
    TBrelScenes* scene = myDriver.Scene();
    TField* field = myDriver.IncidentField();
    if (!scene || !field)
        return;
    scene->GetLevelMeanN(0); // computes the level in large-scene mode
    field->Regenerate(scene->GetLevel(0));
}

bool TVariationSeries::Prepare()
{
    TConfiguration& config = myDriver.Configuration();
    // A grid edited since the last build: build scene and field anew now, before their
    // variations are reset (a run would do it after, and lose them).
    if (myDriver.Scene() && !(myDriver.Scene()->Grid() == config.grid) && !myDriver.UpdateScene())
        return false;
    TBrelScenes* scene = myDriver.Scene();
    TField* field = myDriver.IncidentField();
    if (!scene || !field || config.layers.empty()) {
        myDriver.Run(); // refuses, and says why
        return false;
    }
    if (!CheckVariations())
        return false;
    // Choices whose section no longer exists (a different file was loaded) lapse.
    if (!IsUsable(myXSection))
        myXSection = -1;
    if (!IsUsable(myYSection))
        myYSection = -1;
    // A rebuilt field starts with its entries in section order: choose again.
    if (myXSection >= 0)
        ApplyChoice(myXSection, 0);
    if (myYSection >= 0 && myYSection != myXSection)
        ApplyChoice(myYSection, 1);

    scene->ResetConfig();
    if (!scene->IsLargeScene() && !scene->BuildSystemArray())
        return false;
    field->ResetVariation();
    RegenerateField();
    const long long total = (long long)field->GetConfigTotal() * scene->GetConfigTotal();
    myTotal = int(std::min<long long>(total, INT_MAX));
    myRows.clear();
    myLastAbsorptionSum = 0;
    PrepareGraphs(myTotal);
    SetUp2D();
    MakeColumns();
    return true;
}

bool TVariationSeries::RunSeries()
{
    if (!Prepare())
        return false;
    for (int j = 0; j < myTotal; ++j) {
        // A stop asked for between two runs ends the series before the next.
        if (myDriver.StopRequested()) {
            myDriver.ClearStopRequest();
            myStopped = true;
            break;
        }
        if (mySaveIniFiles && !WriteIniFile(j))
            return false;
        RunProgress(j, myTotal);
        if (!myDriver.Run())
            return false;
        if (myDriver.WasStopped()) {
            // A part of a run is no point of the series.
            myStopped = true;
            myInterruptedRun = j;
            Log("Parameter variation stopped in run " + std::to_string(j) + " of " + std::to_string(myTotal) + ".");
            break;
        }
        drawParmVarAbsorption(j, myTotal);
        drawParmVarIntensity(j, myTotal);
        drawParmVarEnergyFlux(j, myTotal);
        TRunReduction r;
        r.intensity = myIntensityGraph.y[size_t(j)];
        r.absorption = myAbsorptionGraph.y[size_t(j)];
        r.energyFluxChange = myEnergyFluxGraph.y[size_t(j)];
        EnterMaps(r);
        myRows.push_back(CurrentRow(j, r));
        if (TRunObserver* observer = myDriver.Observer())
            observer->VariationDone(j, myTotal);
        Advance();
    }
    return true;
}

// The odometer between the two sides: the owner of variation 0 steps first, the other
// side when it wraps; then the beams are generated for the new configuration (a new
// wavelength, or a scene whose slice 0 changed).
void TVariationSeries::Advance()
{
    TField* field = myDriver.IncidentField();
    TBrelScenes* scene = myDriver.Scene();
    if (Kind(0) == int(TParmsType::layer)) {
        if (!scene->NextConfig())
            field->StepVariation();
    } else if (!field->StepVariation()) {
        scene->NextConfig();
    }
    RegenerateField();
}

// ---------------------------------------------------------------------------------------
// parmvar<j>.txt

// The configuration of run j as Save writes it, under its own header. The file holds the
// run's values with parmvariation=0, so that loading it repeats run j alone.
std::string TVariationSeries::IniFileText(int j, int total) const
{
    const TConfiguration& c = myDriver.Configuration();
    TSimulationDriver& driver = myDriver;
    std::string text = "// Kestrin (KSN) V1.0\r\n";
    text += "// Kestrin optical wave-propagation simulator, 2025-2026\r\n";
    text += "// parmvar" + std::to_string(j) + " of " + std::to_string(total) + "\r\n\r\n";
    TGlobalParms global = c.global;
    global.parmVariation = false;
    text += GlobalSectionText(global, c.grid, c.numOfParms, c.independent);
    if (const TBrelScenes* scene = driver.Scene())
        for (size_t i = 0; i < scene->Layers().size(); ++i)
            text += LayerSectionText(int(i), scene->Layers()[i]);
    if (const TField* field = driver.IncidentField())
        text += field->WaveText();
    return text;
}

bool TVariationSeries::WriteIniFile(int j)
{
    const std::filesystem::path folder = std::filesystem::path(myIniFolder.empty() ? std::string(".") : myIniFolder);
    const std::filesystem::path path = folder / ("parmvar" + std::to_string(j) + ".txt");
    errno = 0;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (out)
        out << IniFileText(j, myTotal);
    out.close();
    if (!out) {
        ShowMessage("Cannot write file " + path.string() + (errno ? std::string(": ") + std::strerror(errno) : "") +
                    ". The parameter variation ends.");
        return false;
    }
    return true;
}

// ---------------------------------------------------------------------------------------
// The table of runs

void TVariationSeries::MakeColumns()
{
    myColumns.clear();
    const TConfiguration& c = myDriver.Configuration();
    for (size_t n = 0; n < c.parms.size(); ++n) {
        if (!IsUsable(int(n)))
            continue;
        const TParmsVariation& v = c.parms[n];
        TSeriesColumn column;
        column.section = int(n);
        column.type = c.parmTypes[n];
        column.num = v.num;
        column.parm = v.parm;
        std::string name = std::string(column.type == TParmsType::wave ? "wave" : "layer") + std::to_string(v.num) +
                           "." + ParmsName(v.parm);
        // Two sections on one parameter keep apart by their section.
        for (const TSeriesColumn& other : myColumns)
            if (other.name == name || other.name == name + ".re")
                name += "@parm" + std::to_string(n);
        if (column.type == TParmsType::layer && IsComplexParm(v.parm)) {
            column.name = name + ".re";
            column.part = 1;
            myColumns.push_back(column);
            column.name = name + ".im";
            column.part = 2;
        } else {
            column.name = name;
        }
        myColumns.push_back(column);
    }
}

TSeriesRow TVariationSeries::CurrentRow(int j, const TRunReduction& r) const
{
    TSimulationDriver& driver = myDriver;
    TSeriesRow row;
    row.run = j;
    row.reduction = r;
    for (const TSeriesColumn& column : myColumns) {
        double value = 0;
        if (column.type == TParmsType::wave) {
            const TField* field = driver.IncidentField();
            if (field && column.num < int(field->Waves().size()))
                value = WaveValue(field->Waves()[size_t(column.num)], column.parm);
        } else if (const TBrelScenes* scene = driver.Scene(); scene && column.num < int(scene->Layers().size())) {
            TLayerParms layer = scene->Layers()[size_t(column.num)];
            if (const double* real = layer.RealField(column.parm))
                value = *real;
            else if (const TComplex* complex = layer.ComplexField(column.parm))
                value = column.part == 2 ? complex->im : complex->re;
        }
        row.values.push_back(value);
    }
    return row;
}

} // namespace ksn
