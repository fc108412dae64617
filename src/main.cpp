// Program entry: command line, application object, main window, the scripted steps and quitting.
#include "app/TCommandLine.h"
#include "app/TFirstRun.h"
#include "app/ui/TBoxMessageService.h"
#include "base/utils.h"
#include "base/vlMessages.h"
#include "app/ui/TMainForm.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QTimer>
#include <QPixmap>
#include <cstdio>

namespace {

// Without a display the program runs on Qt's offscreen platform.
void chooseOffscreenWithoutDisplay()
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

bool saveScreenshot(TMainForm& w, const QString& file)
{
    QApplication::processEvents();
    if (w.grab().save(file, "PNG")) return true;
    std::fprintf(stderr, "velmora: the picture %s could not be written\n", qUtf8Printable(file));
    return false;
}

bool exportText(TMainForm& w, const QString& file)
{
    QApplication::processEvents();
    QString why;
    if (w.exportFrequencyText(file, &why)) return true;
    std::fprintf(stderr, "velmora: %s could not created (%s)\n", qUtf8Printable(file), qUtf8Printable(why));
    return false;
}

bool savePicture(TMainForm& w, const QString& file)
{
    QApplication::processEvents();
    QString why;
    if (w.exportPicture(file, &why)) return true;
    std::fprintf(stderr, "velmora: %s could not created (%s)\n", qUtf8Printable(file), qUtf8Printable(why));
    return false;
}

bool printPdf(TMainForm& w, const QString& file)
{
    QApplication::processEvents();
    QString why;
    if (w.printToPdf(file, &why)) return true;
    std::fprintf(stderr, "velmora: %s could not be printed (%s)\n", qUtf8Printable(file), qUtf8Printable(why));
    return false;
}

// Keeps the event loop running for `seconds`, or until a measurement has ended by itself (a
// sweep that does not repeat, a stepped run reaching its last step), whichever comes first.
void runFor(double seconds, const TMainForm& w)
{
    if (seconds <= 0.0) return;
    QEventLoop loop;
    QTimer::singleShot(int(seconds * 1000.0 + 0.5), &loop, &QEventLoop::quit);
    bool ran = w.MeasRun();
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, &loop, [&] {
        if (w.measurementEnded() || (ran && !w.MeasRun())) loop.quit();
        ran = ran || w.MeasRun();
    });
    watch.start(20);
    loop.exec();
}

// --preset: false, with the reason on standard error, when the preset was not executed.
bool runPreset(TMainForm& w, const TCommandLine& cl)
{
    if (cl.preset.isEmpty()) return true;
    const int r = w.execPresetN(cl.preset);
    QApplication::processEvents();
    if (r == pexDone) {
        if (cl.mode >= 0) w.setMeasuringModeF(cl.mode);
        return true;
    }
    if (r != pexUnreadable) // an unreadable file has told why already
        std::fprintf(stderr, "velmora: the preset %s %s\n", qUtf8Printable(cl.preset),
                     r == pexMissing ? "was not found" : "is no file name");
    return false;
}

// One scripted step's failure on standard error; false.
bool stepFailed(const QString& file, const QString& why)
{
    std::fprintf(stderr, "velmora: %s: %s\n", qUtf8Printable(file), qUtf8Printable(why));
    return false;
}

// The interchange files the command line asks for after running: results, curves, recording.
bool writeInterchange(TMainForm& w, const TCommandLine& cl)
{
    QString why;
    bool ok = true;
    if (!cl.resultsJson.isEmpty() && !w.saveResultsJson(cl.resultsJson, &why)) ok = stepFailed(cl.resultsJson, why);
    for (const auto& [n, file] : cl.exportCurves)
        if (!w.exportCurve(n, file, &why)) ok = stepFailed(file, why);
    if (!cl.saveWav.isEmpty() && !w.saveRecordingWav(cl.saveWav, true, &why)) ok = stepFailed(cl.saveWav, why);
    return ok;
}

// What the command line asks for once the window is shown: preset, mode, start, running,
// status. False when the preset or a file it was to load could not be used (nothing else runs
// then).
bool runScript(TMainForm& w, const TCommandLine& cl)
{
    w.ensureActivated();
    QApplication::processEvents();
    if (!runPreset(w, cl)) return false;
    QString why;
    if (!cl.micCalibration.isEmpty() && !w.loadMicCalibration(cl.micCalibration, true, &why))
        return stepFailed(cl.micCalibration, why);
    if (cl.soundOn) {
        w.soundOnCommand();
        QApplication::processEvents();
    }
    if (cl.start && !w.startCommand())
        std::fprintf(stderr, "velmora: measuring mode %d has no measurement to start\n", w.measuringMode());
    runFor(cl.measureSeconds, w);
    QApplication::processEvents();
    if (cl.results) {
        std::printf("frames drawn: %d\n", w.measurementFrames());
        for (const QString& line : w.measurementResults()) std::printf("%s\n", qUtf8Printable(line));
        std::fflush(stdout);
    }
    if (!cl.status) return true;
    const QStringList texts = w.statusTexts();
    for (int i = 0; i < texts.size(); ++i) std::printf("status %d: %s\n", i, qUtf8Printable(texts[i]));
    std::fflush(stdout);
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    chooseOffscreenWithoutDisplay();
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName("velmora");
    QCoreApplication::setApplicationVersion(VELMORA_VERSION);

    const TCommandLine cl = TCommandLine::parse(QCoreApplication::arguments());
    if (!cl.error.isEmpty()) {
        std::fprintf(stderr, "velmora: %s\n%s", qUtf8Printable(cl.error), qUtf8Printable(TCommandLine::usage()));
        return 2;
    }
    if (cl.help) {
        std::printf("%s", qUtf8Printable(TCommandLine::usage()));
        return 0;
    }
    if (!cl.home.isEmpty()) qputenv("VELMORA_HOME", QDir(cl.home).absolutePath().toUtf8());

    // With --quit nobody can answer a box: messages go to standard error with their default.
    TBoxMessageService boxes;
    if (!cl.quit) vl::setMessageService(&boxes);

    const QString programFolder = QCoreApplication::applicationDirPath();
    vlFillDataFolder(programFolder + "/../data/");
    QString seedError;
    const eSettingsSeed seed =
        seedSettingsFile(TMainForm::settingsFileName(), factorySettingsFile(programFolder), &seedError);
    if (!seedError.isEmpty()) vl::warningBox(seedError);
    // With a preset, --mode follows it instead of choosing the first mode.
    const int startMode = cl.preset.isEmpty() ? cl.mode : -1;
    TMainForm w(TMainForm::Options{cl.soundModule, startMode, seed != eSettingsSeed::userFile, cl.quit});
    if (w.startupFailed()) return 1;
    w.useProgramMeasurements();
    boxes.setParent(&w);
    std::printf("velmora: sound module %s\n", qUtf8Printable(w.soundDLLname()));
    std::fflush(stdout);
    if (w.closeRequested()) {
        w.close();
        return 1;
    }
    w.show();
    bool ok = runScript(w, cl);
    if (ok && !cl.screenshot.isEmpty()) ok = saveScreenshot(w, cl.screenshot);
    if (ok && !cl.exportText.isEmpty()) ok = exportText(w, cl.exportText);
    if (ok) ok = writeInterchange(w, cl);
    if (ok && !cl.savePicture.isEmpty()) ok = savePicture(w, cl.savePicture);
    if (ok && !cl.printPdf.isEmpty()) ok = printPdf(w, cl.printPdf);
    if (cl.quit || !ok) {
        w.close();
        return ok ? 0 : 1;
    }
    return app.exec();
}
