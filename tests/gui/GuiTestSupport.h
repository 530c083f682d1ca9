#pragma once
// Helpers of the GUI tests: a scratch folder, example paths, typing into edits the way
// a user does, loading through the Open menu, and waiting for a run.
#include "AnalysisPanel.h"
#include "MainWindow.h"
#include "MessageBoxes.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QStyleFactory>
#include <QTemporaryDir>
#include <QTest>

namespace ksn::gui::test {

inline QString Example(const char* name) { return QStringLiteral(KSN_SOURCE_DIR "/examples/") + QLatin1String(name); }

inline void UseFusion() { QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion"))); }

// Selects the edit's text, types `text` key by key and presses Return.
inline void Type(QLineEdit* edit, const QString& text)
{
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, text);
    QTest::keyClick(edit, Qt::Key_Return);
    QCoreApplication::processEvents();
}

// Loads `path` through File > Open, the dialog answered with `path`.
inline void OpenThroughMenu(TForm1& window, const QString& path)
{
    window.SetFileChooser([path](bool) { return path; });
    window.OpenAction()->trigger();
    QCoreApplication::processEvents();
}

inline QString LogText(const TForm1& window) { return window.AnalysisPanel()->LogView()->toPlainText(); }

// Starts and waits for the end of the run (or series).
inline bool RunToEnd(TForm1& window, int timeoutMs = 120000)
{
    QSignalSpy finished(&window, &TForm1::RunFinished);
    window.Start();
    return finished.wait(timeoutMs);
}

// A copy of an example with some [global] keys replaced, in `dir`.
inline QString VariantOf(const QTemporaryDir& dir, const char* example, const QString& name,
    const QList<QPair<QString, QString>>& keys, const QString& extraSections = QString())
{
    QFile in(Example(example));
    if (!in.open(QIODevice::ReadOnly))
        return {};
    QStringList lines = QString::fromUtf8(in.readAll()).split(QLatin1Char('\n'));
    bool inGlobal = false;
    for (QString& line : lines) {
        const QString t = line.trimmed();
        if (t.startsWith(QLatin1Char('[')))
            inGlobal = t.compare(QStringLiteral("[global]"), Qt::CaseInsensitive) == 0;
        if (!inGlobal)
            continue;
        for (const auto& [key, value] : keys)
            if (t.section(QLatin1Char('='), 0, 0).trimmed().compare(key, Qt::CaseInsensitive) == 0)
                line = key + QLatin1Char('=') + value;
    }
    const QString path = dir.filePath(name);
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly))
        return {};
    out.write((lines.join(QLatin1Char('\n')) + QLatin1Char('\n') + extraSections).toUtf8());
    return path;
}

inline QString ScreenshotPath(const char* name)
{
    QDir().mkpath(QStringLiteral(KSN_BINARY_DIR "/screenshots"));
    return QStringLiteral(KSN_BINARY_DIR "/screenshots/") + QLatin1String(name);
}

} // namespace ksn::gui::test
