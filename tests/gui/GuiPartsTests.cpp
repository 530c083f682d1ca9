// The parts under the main window: the queued observer's per-slice copies and
// coalescing, the cross-sections of the stored slices and the clipping, the edit
// readers, the run worker and the message-box queue. Grids are small and non-square.
#include "CrossSection.h"
#include "EditReaders.h"
#include "GuiObserver.h"
#include "MessageBoxes.h"
#include "RunWorker.h"

#include "control/SimulationDriver.h"
#include "field/ScalarEField.h"
#include "numerics/GeneralError.h"
#include "support/RecordingSink.h"

#include <QLineEdit>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include <atomic>
#include <cmath>
#include <fstream>
#include <numbers>
#include <thread>

using namespace ksn;
using namespace ksn::gui;

namespace {

// An 8 x 16 grid (x by y) of one absorbing Homog layer, n = 1.5 + 0.01i, two slices.
const char* kAbsorbingScene = R"([global]
multithreaded=0
modulotracking=0
modulus=1
simmethod=swpm
layernum=1
wavenum=1
scale=um
largescene=0
bidirectional=0
reflections=0
extraModes=0
allcomplex=0
parmvariation=0
numofparms=0
independent=0
evanescent=0
X=8
Y=32
Z=2
nx=8
ny=16
nz=2
[layer0]
type=Homog
Z=2
nSubject=1.5
kappaSubject=0.01
nSpace=1.5
kappaSpace=0.01
report=1
[wave0]
shape=gaussian
angular=deg
lambda=1
theta=0
delta=0
rho=0
psi=0
amplitude=1
shiftx=0
shifty=0
shiftz=0
sigmax=3
sigmay=6
)";

// A scalar field on nx x ny with E(x, y) = (x + 100 y + 1000 k) (1 - i).
TFieldRef Numbered(int nx, int ny, int k)
{
    TGridParms g;
    g.nx = nx;
    g.ny = ny;
    g.dx = g.dy = g.dz = 1;
    g.X = nx;
    g.Y = ny;
    auto f = std::make_shared<TScalarEField>(g);
    for (int y = 0; y < ny; ++y)
        for (int x = 0; x < nx; ++x) {
            const double v = x + 100.0 * y + 1000.0 * k;
            f->E().SetAt(x, y, {v, -v});
            f->IntensityMap().At(x, y) = 2 * v * v;
        }
    return f;
}

} // namespace

class TGuiPartsTests : public QObject {
    Q_OBJECT
private slots:
    // The hand-over runs on the run's thread and copies before returning: the run may
    // overwrite its working field at once. Copies follow the plot options.
    void SliceHandOverCopiesWhatThePlotOptionsAsk()
    {
        QTemporaryDir dir;
        const std::string ini = dir.filePath(QStringLiteral("absorbing.ini")).toStdString();
        std::ofstream(ini) << kAbsorbingScene;
        test::TRecordingSink quiet; // the load's log lines
        TSimulationDriver driver;
        QVERIFY(driver.Open(ini));
        TField& field = *driver.IncidentField();
        TBrelScenes& scene = *driver.Scene();

        TGuiObserver observer;
        QSignalSpy arrived(&observer, &TGuiObserver::SliceArrived);
        TPlotFlags flags;
        flags.amplitude = true;
        flags.absorption = true;
        flags.scene = true;
        observer.SetPlotFlags(flags);
        const TComplex e = static_cast<TScalarEField&>(field).E().At(3, 11);
        std::thread run([&] {
            observer.SliceComputed(0, 0, field, scene);
            observer.SliceComputed(1, 0, field, scene); // replaces the copy not yet taken
            field.ClearField();                         // the run reuses its field
        });
        run.join();
        QTRY_COMPARE(arrived.count(), 1);
        std::optional<TSliceSnapshot> s = observer.TakeSlice();
        QVERIFY(s);
        QCOMPARE(s->z, 1);
        QCOMPARE(observer.SlicesHandedOver(), 2);
        QVERIFY(!observer.TakeSlice());
        QCOMPARE(int(s->components.size()), 1);
        QCOMPARE(s->components[0].Nx(), 8);
        QCOMPARE(s->components[0].Ny(), 16);
        QCOMPARE(s->components[0].At(3, 11).re, e.re);
        QVERIFY(e.re != 0);
        // Local absorption a = 4 pi |E|^2 kappa / lambda * dz / (nx ny), lengths in metres.
        const double expected = 4 * std::numbers::pi * (e.re * e.re + e.im * e.im) * 0.01 / 1e-6 * (1.0 * 1e-6) / (8 * 16);
        QVERIFY(s->hasMap);
        QVERIFY(std::fabs(s->map.At(3, 11) - expected) <= 1e-12 * expected);
        QVERIFY(s->hasIndex);
        QCOMPARE(s->index.At(7, 15).im, 0.01);

        // A 2-D configuration hands nothing over; nor does one without plot options.
        observer.SetTransverse(false);
        observer.SliceComputed(1, 0, field, scene);
        observer.SetTransverse(true);
        observer.SetPlotFlags(TPlotFlags{});
        observer.SliceComputed(1, 0, field, scene);
        QCOMPARE(observer.SlicesHandedOver(), 2);
        QVERIFY(!observer.TakeSlice());
    }

    // A thousand slices reach the window as a handful of updates, the last one exact.
    void ProgressIsCoalescedToTheLatest()
    {
        TGuiObserver observer;
        QSignalSpy progress(&observer, &TGuiObserver::ProgressArrived);
        std::thread run([&] {
            for (int z = 0; z < 1000; ++z)
                observer.SliceProgress(z, 1000);
        });
        run.join();
        QTRY_VERIFY(!progress.isEmpty());
        QCoreApplication::processEvents();
        QVERIFY(progress.count() < 1000);
        QCOMPARE(progress.last().at(0).toInt(), 999);
        QCOMPARE(progress.last().at(1).toInt(), 1000);
    }

    // Three stored 8 x 16 slices: xz takes row y of each, yz column x, xy one slice.
    void CrossSectionsOfANonSquareStore()
    {
        const std::vector<TFieldRef> store = {Numbered(8, 16, 0), Numbered(8, 16, 1), Numbered(8, 16, 2)};
        TCrossSection cut;
        QVERIFY(BuildCrossSection(store, 2, 5, cut)); // yz at column 5
        QCOMPARE(cut.components[0].Nx(), 3);
        QCOMPARE(cut.components[0].Ny(), 16);
        QCOMPARE(cut.components[0].At(2, 9).re, 5 + 900 + 2000.0);
        QCOMPARE(cut.intensity.At(2, 9), 2 * std::pow(2905.0, 2));
        QVERIFY(BuildCrossSection(store, 0, 9, cut)); // xz at row 9
        QCOMPARE(cut.components[0].Nx(), 3);
        QCOMPARE(cut.components[0].Ny(), 8);
        QCOMPARE(cut.components[0].At(1, 7).im, -(7 + 900 + 1000.0));
        QVERIFY(BuildCrossSection(store, 1, 7, cut)); // xy beyond the store: the last slice
        QCOMPARE(cut.components[0].Nx(), 8);
        QCOMPARE(cut.components[0].At(4, 15).re, 4 + 1500 + 2000.0);
        QVERIFY(!BuildCrossSection(store, 0, 16, cut)); // no row 16
        QVERIFY(!BuildCrossSection(store, 2, 8, cut));  // no column 8
        QVERIFY(!BuildCrossSection(store, 3, 0, cut));  // no such orientation
        QVERIFY(!BuildCrossSection({}, 1, 0, cut));

        // Parts beyond +-level take the level with their sign; -1 leaves them.
        TComplexArray a = static_cast<TScalarEField&>(*store[1]).E();
        ClipCrossSection(a, -1);
        QCOMPARE(a.At(1, 0).re, 1001.0);
        ClipCrossSection(a, 1000.5);
        QCOMPARE(a.At(0, 0).re, 1000.0);
        QCOMPARE(a.At(0, 0).im, -1000.0);
        QCOMPARE(a.At(1, 0).re, 1000.5);
        QCOMPARE(a.At(1, 0).im, -1000.5);
    }

    void EditReadersCheckTheLastCharacter()
    {
        QCOMPARE(PassesCheck(QStringLiteral("12"), TCheckMode::digit), true);
        QCOMPARE(PassesCheck(QStringLiteral("1,"), TCheckMode::digit), false);
        QCOMPARE(PassesCheck(QStringLiteral("1,"), TCheckMode::digitOrComma), true);
        QCOMPARE(PassesCheck(QStringLiteral("1."), TCheckMode::digitOrComma), false);
        QCOMPARE(PassesCheck(QStringLiteral("-"), TCheckMode::digitOrComma), false);
        QCOMPARE(PassesCheck(QString(), TCheckMode::digitOrComma), false);

        test::TRecordingSink sink;
        QLineEdit edit;
        double real = 7;
        edit.setText(QStringLiteral(" -2.5e-3"));
        QVERIFY(ReadReal(&edit, TCheckMode::digitOrComma, real));
        QCOMPARE(real, -2.5e-3);
        edit.setText(QString());
        QVERIFY(!ReadReal(&edit, TCheckMode::digitOrComma, real));
        QCOMPARE(real, 0.0);
        QVERIFY(IsMarkedRed(&edit));
        int n = 5;
        edit.setText(QStringLiteral("2147483648")); // one beyond the int range
        QVERIFY(!ReadInt(&edit, TCheckMode::digit, n));
        QCOMPARE(n, 5);
        QVERIFY(!IsMarkedRed(&edit));
        QVERIFY(sink.HasMessage("Please enter a number."));
        edit.setText(QStringLiteral("-12"));
        QVERIFY(ReadInt(&edit, TCheckMode::digit, n));
        QCOMPARE(n, -12);
    }

    // The worker reports an error's text, and refuses a second job while one runs.
    void RunWorkerReportsErrorsAndRunsOneJobAtATime()
    {
        TRunWorker worker;
        QSignalSpy finished(&worker, &TRunWorker::Finished);
        QVERIFY(worker.Start([]() -> bool { throw EGeneralError("Cannot start simulation. Function pointer \"propFunc\" not assigned!"); }));
        QVERIFY(finished.wait(10000));
        QCOMPARE(finished.last().at(0).toBool(), false);
        QCOMPARE(finished.last().at(1).toString(),
            QStringLiteral("Cannot start simulation. Function pointer \"propFunc\" not assigned!"));

        std::atomic<bool> release{false};
        QVERIFY(worker.Start([&] {
            while (!release.load())
                std::this_thread::yield();
            return true;
        }));
        QVERIFY(worker.IsRunning());
        QVERIFY(!worker.Start([] { return true; }));
        release.store(true);
        QVERIFY(finished.wait(10000));
        QCOMPARE(finished.last().at(0).toBool(), true);
        QVERIFY(finished.last().at(1).toString().isEmpty());
        QVERIFY(!worker.IsRunning());
    }

    // One box at a time; a text already showing or waiting is counted, not queued again.
    void MessageBoxesQueueAndCount()
    {
        QWidget parent;
        TMessageBoxes boxes(&parent);
        boxes.Show(QStringLiteral("A"));
        boxes.Show(QStringLiteral("B"));
        boxes.Show(QStringLiteral("B"), 3);
        boxes.Show(QStringLiteral("A"));
        QCOMPARE(boxes.History(), QStringList({QStringLiteral("A"), QStringLiteral("B")}));
        QCOMPARE(boxes.Waiting(), 1);
        QCOMPARE(boxes.Current()->text(), QStringLiteral("A\n\n(2 times)"));
        boxes.Current()->accept();
        QCoreApplication::processEvents();
        QCOMPARE(boxes.Current()->text(), QStringLiteral("B\n\n(4 times)"));
        boxes.Current()->accept();
        QCoreApplication::processEvents();
        QVERIFY(!boxes.Current());
        QCOMPARE(boxes.Waiting(), 0);
    }
};

QTEST_MAIN(TGuiPartsTests)
#include "GuiPartsTests.moc"
