// ksn scene FILE -o DIR [--large]: builds the refractive-index scene of a configuration
// and writes it out: n.npy (complex128, shape (levels, ny, nx), [iz][iy][ix] = n + i*kappa),
// levels.csv (per level: report flag, homogeneous flag, mean index) and three false-colour
// maps of the real index: the x-z cut through the centre row, the y-z cut through the
// centre column and the x-y cut of the middle level.
#include "ArgParse.h"
#include "CliSink.h"
#include "Commands.h"
#include "RunPictures.h"

#include "config/Configuration.h"
#include "config/FloatText.h"
#include "config/MemoryBudget.h"
#include "config/Messages.h"
#include "display/NpyWriter.h"
#include "display/OutputFolder.h"
#include "scene/BrelScenes.h"

#include <complex>
#include <iostream>

namespace ksn::cli {

namespace {

const std::string kUsage = "scene FILE -o DIR [--large] " + std::string(kPictureUsage);

int RunScene(const std::vector<std::string>& args)
{
    std::string fileName, outDir;
    bool large = false;
    TPictureOptions pictures;
    TArgReader reader(args);
    while (reader.More()) {
        const std::string a = reader.Next();
        if (const int taken = ParsePictureOption(reader, a, pictures)) {
            if (taken < 0)
                break;
        } else if (a == "-o" || a == "--output")
            reader.Value(a, outDir);
        else if (a == "--large")
            large = true;
        else if (TArgReader::LooksLikeOption(a))
            reader.Fail("unknown option " + a + ".");
        else if (fileName.empty())
            fileName = a;
        else
            reader.Fail("one configuration file only (" + fileName + " and " + a + ").");
    }
    if (reader.Error().empty() && fileName.empty())
        reader.Fail("no configuration FILE given.");
    if (reader.Error().empty() && outDir.empty())
        reader.Fail("no output folder given (-o DIR).");
    if (!reader.Error().empty())
        return UsageError("scene", kUsage, reader.Error());

    TCliSink sink;
    TScopedMessageSink scope(&sink);
    TConfiguration config;
    if (!LoadConfiguration(fileName, config))
        return 1;
    large = large || config.global.largeScene;

    // One estimate before the levels are built: the scene (all levels, or two) and the
    // cut maps, whose columns are sampled down to kMaxMapSide.
    TGlobalParms global = config.global;
    global.largeScene = large;
    const TGridParms& g = config.grid;
    const std::uint64_t budget = MemoryBudgetBytes();
    TMemoryEstimate need = EstimateLoadMemory(global, g);
    need.incident = 0;
    need.outputs = std::uint64_t(3) * kMaxMapSide * kMaxMapSide * 16;
    const std::string memory = MemoryRefusal(need, budget, global, g, "The scene");
    if (!memory.empty()) {
        ShowMessage(memory);
        return 1;
    }

    // As the main window loads a scene: layers handed over in order, then all slices
    // computed unless the scene is large.
    TBrelScenes scene(int(config.layers.size()), g, large);
    for (size_t i = 0; i < config.layers.size(); ++i)
        scene.Replace(int(i), config.layers[i]);
    if (!large && !scene.BuildSystemArray())
        return 1;

    const int levels = scene.GetEndLevel(-1);
    const int nx = scene.GetNx();
    const int ny = scene.GetNy();
    if (levels < 1 || nx < 1 || ny < 1) {
        ShowMessage("The scene has no levels or no grid points (levels " + std::to_string(levels) + ", nx " +
                    std::to_string(nx) + ", ny " + std::to_string(ny) + ").");
        return 1;
    }
    TOutputFolder folder(outDir);
    if (!folder.Open()) {
        ShowMessage(folder.Error());
        return 1;
    }

    // The whole index volume goes to n.npy only where its copy fits the budget beside
    // what the scene itself holds.
    const long double volumeBytes = (long double)levels * nx * ny * 16;
    const bool writeVolume = budget == 0 || volumeBytes + (long double)need.Total() <= (long double)budget;
    std::vector<std::complex<double>> volume;
    if (writeVolume)
        volume.reserve(size_t(levels) * size_t(nx) * size_t(ny));

    const int centreRow = ny / 2;
    const int centreColumn = nx / 2;
    const int middleLevel = levels / 2;
    const std::vector<int> xs = MapSamples(nx), ys = MapSamples(ny);
    TIndexCuts cuts;
    cuts.levels = levels;
    cuts.xyLevel = middleLevel;
    cuts.columns = MapSamples(levels);
    cuts.xz.reserve(cuts.columns.size() * xs.size());
    cuts.yz.reserve(cuts.columns.size() * ys.size());
    size_t nextColumn = 0;

    // Levels in increasing order, asked as the run loop asks: report, mean, homogeneity,
    // slice; in large-scene mode each level is computed once.
    bool levelFailed = false;
    bool ok = folder.WriteStream("levels.csv", [&](std::ostream& csv) {
        csv << "iz,report,homogeneous,mean_re,mean_im\n";
        for (int iz = 0; iz < levels; ++iz) {
            const bool report = scene.GetLevelReport(iz);
            const TComplex mean = scene.GetLevelMeanN(iz);
            const bool homog = scene.IsHomogLevel(iz);
            const TComplexArray* slice = scene.GetLevel(iz);
            if (!slice || slice->Nx() != nx || slice->Ny() != ny) {
                ShowMessage("Level " + std::to_string(iz) + " of the scene could not be computed.");
                levelFailed = true;
                return false;
            }
            csv << iz << ',' << (report ? 1 : 0) << ',' << (homog ? 1 : 0) << ',' << FormatReal(mean.re) << ','
                << FormatReal(mean.im) << '\n';
            if (writeVolume)
                for (int iy = 0; iy < ny; ++iy)
                    for (int ix = 0; ix < nx; ++ix) {
                        const TComplex n = slice->At(ix, iy);
                        volume.emplace_back(n.re, n.im);
                    }
            if (nextColumn < cuts.columns.size() && cuts.columns[nextColumn] == iz) {
                for (int ix : xs)
                    cuts.xz.push_back(slice->At(ix, centreRow).re);
                for (int iy : ys)
                    cuts.yz.push_back(slice->At(centreColumn, iy).re);
                ++nextColumn;
            }
            if (iz == middleLevel)
                for (int iy : ys)
                    for (int ix : xs)
                        cuts.xy.push_back(slice->At(ix, iy).re);
        }
        return bool(csv);
    });
    if (!ok && !levelFailed)
        ShowMessage(folder.Error());

    if (ok && writeVolume) {
        ok = folder.WriteStream("n.npy", [&](std::ostream& out) {
            return WriteNpyComplex128(out, {size_t(levels), size_t(ny), size_t(nx)}, volume);
        });
        if (!ok)
            ShowMessage(folder.Error());
    } else if (ok) {
        ShowMessage("n.npy not written: " + std::to_string(levels) + " levels of " + std::to_string(nx) + " x " +
                    std::to_string(ny) + " points exceed the memory limit.");
    }
    if (ok)
        ok = WriteScenePictures(config, cuts, folder, pictures);
    if (!folder.WriteManifest()) {
        ShowMessage(folder.Error());
        ok = false;
    }
    if (ok)
        std::cout << "levels: " << levels << '\n';
    return ok ? 0 : 1;
}

const TCommandRegistration theRegistration("scene", kUsage, RunScene);

} // namespace

} // namespace ksn::cli
