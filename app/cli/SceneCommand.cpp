// ksn scene FILE -o DIR [--large]: builds the refractive-index scene of a configuration
// and writes it out: n.npy (complex128, shape (levels, ny, nx), [iz][iy][ix] = n + i*kappa),
// levels.csv (per level: report flag, homogeneous flag, mean index) and three false-colour
// maps of the real index: the x-z cut through the centre row, the y-z cut through the
// centre column and the x-y cut of the middle level.
#include "CliSink.h"
#include "Commands.h"
#include "RunPictures.h"

#include "config/Configuration.h"
#include "config/FloatText.h"
#include "config/Messages.h"
#include "display/NpyWriter.h"
#include "scene/BrelScenes.h"

#include <complex>
#include <filesystem>
#include <fstream>
#include <iostream>

namespace ksn::cli {

namespace {

const std::string kUsage = "scene FILE -o DIR [--large] " + std::string(kPictureUsage);

int Usage()
{
    std::cerr << "Usage: ksn " << kUsage << '\n';
    return 2;
}

int RunScene(const std::vector<std::string>& args)
{
    std::string fileName, outDir;
    bool large = false;
    TPictureOptions pictures;
    for (size_t i = 0; i < args.size(); ++i) {
        if (const int taken = ParsePictureOption(args, i, pictures)) {
            if (taken < 0)
                return Usage();
        } else if (args[i] == "-o" && i + 1 < args.size())
            outDir = args[++i];
        else if (args[i] == "--large")
            large = true;
        else if (fileName.empty() && !args[i].empty() && args[i][0] != '-')
            fileName = args[i];
        else
            return Usage();
    }
    if (fileName.empty() || outDir.empty())
        return Usage();

    TCliSink sink;
    TScopedMessageSink scope(&sink);
    TConfiguration config;
    if (!LoadConfiguration(fileName, config))
        return 1;
    large = large || config.global.largeScene;

    // As the main window loads a scene: layers handed over in order, then all slices
    // computed unless the scene is large.
    TBrelScenes scene(int(config.layers.size()), config.grid, large);
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
    std::error_code error;
    const std::filesystem::path dir(outDir);
    std::filesystem::create_directories(dir, error);
    if (!std::filesystem::is_directory(dir)) {
        ShowMessage("Cannot create directory " + outDir);
        return 1;
    }

    // The whole index volume goes to n.npy only where its copy fits the scene's memory
    // limit beside what the scene itself holds (the system array, or two slices).
    const long double volumeBytes = (long double)levels * nx * ny * 16;
    const long double sceneBytes = large ? (long double)2 * nx * ny * 16 : volumeBytes;
    const bool writeVolume = volumeBytes + sceneBytes <= (long double)scene.GetMemoryLimit();
    std::vector<std::complex<double>> volume;
    if (writeVolume)
        volume.reserve(size_t(levels) * size_t(nx) * size_t(ny));

    const int centreRow = ny / 2;
    const int centreColumn = nx / 2;
    const int middleLevel = levels / 2;
    TIndexCuts cuts;
    cuts.levels = levels;
    cuts.xyLevel = middleLevel;
    cuts.xz.resize(size_t(levels) * size_t(nx));
    cuts.yz.resize(size_t(levels) * size_t(ny));
    std::ofstream csv(dir / "levels.csv", std::ios::binary | std::ios::trunc);
    csv << "iz,report,homogeneous,mean_re,mean_im\n";

    // Levels in increasing order, asked as the run loop asks: report, mean, homogeneity,
    // slice; in large-scene mode each level is computed once.
    for (int iz = 0; iz < levels; ++iz) {
        const bool report = scene.GetLevelReport(iz);
        const TComplex mean = scene.GetLevelMeanN(iz);
        const bool homog = scene.IsHomogLevel(iz);
        const TComplexArray* slice = scene.GetLevel(iz);
        if (!slice || slice->Nx() != nx || slice->Ny() != ny) {
            ShowMessage("Level " + std::to_string(iz) + " of the scene could not be computed.");
            return 1;
        }
        csv << iz << ',' << (report ? 1 : 0) << ',' << (homog ? 1 : 0) << ',' << FormatReal(mean.re) << ','
            << FormatReal(mean.im) << '\n';
        if (writeVolume)
            for (int iy = 0; iy < ny; ++iy)
                for (int ix = 0; ix < nx; ++ix) {
                    const TComplex n = slice->At(ix, iy);
                    volume.emplace_back(n.re, n.im);
                }
        for (int ix = 0; ix < nx; ++ix)
            cuts.xz[size_t(iz) * size_t(nx) + size_t(ix)] = slice->At(ix, centreRow).re;
        for (int iy = 0; iy < ny; ++iy)
            cuts.yz[size_t(iz) * size_t(ny) + size_t(iy)] = slice->At(centreColumn, iy).re;
        if (iz == middleLevel)
            cuts.xy.assign(slice->Re(), slice->Re() + size_t(nx) * size_t(ny));
    }
    csv.close();
    bool ok = bool(csv);
    if (!ok)
        ShowMessage("Cannot write " + (dir / "levels.csv").string());

    if (writeVolume) {
        if (!WriteNpyComplex128((dir / "n.npy").string(), {size_t(levels), size_t(ny), size_t(nx)}, volume)) {
            ShowMessage("Cannot write " + (dir / "n.npy").string());
            ok = false;
        }
    } else {
        ShowMessage("n.npy not written: " + std::to_string(levels) + " levels of " + std::to_string(nx) + " x " +
                    std::to_string(ny) + " points exceed the memory limit.");
    }
    ok = WriteScenePictures(config, cuts, dir, pictures) && ok;

    std::cout << "levels: " << levels << '\n';
    return ok ? 0 : 1;
}

const TCommandRegistration theRegistration("scene", kUsage, RunScene);

} // namespace

} // namespace ksn::cli
