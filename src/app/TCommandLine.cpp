// Parsing of the program's command line.
#include "app/TCommandLine.h"

namespace {

// Takes the value of an option that needs one; false when it is missing.
bool takeValue(const QStringList& args, int& i, QString& value)
{
    const QString& a = args[i];
    const int eq = a.indexOf('=');
    if (eq > 0) {
        value = a.mid(eq + 1);
        return !value.isEmpty();
    }
    if (i + 1 >= args.size() || args[i + 1].startsWith("--")) return false;
    value = args[++i];
    return true;
}

QString optionName(const QString& a)
{
    const int eq = a.indexOf('=');
    return eq > 0 ? a.left(eq) : a;
}

// A measuring mode 0..13; false for anything else.
bool toMode(const QString& text, int& mode)
{
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    if (!ok || v < 0 || v > 13) return false;
    mode = v;
    return true;
}

// Seconds 0..86400, "," read as ".".
bool toSeconds(const QString& text, double& seconds)
{
    bool ok = false;
    const double v = QString(text).replace(',', '.').trimmed().toDouble(&ok);
    if (!ok || !(v >= 0.0 && v <= 86400.0)) return false;
    seconds = v;
    return true;
}

// Options with a number: --mode and --measure; error set when the value is missing or bad.
bool takeNumber(const QStringList& args, int& i, const QString& name, TCommandLine& cl)
{
    QString value;
    if (!takeValue(args, i, value)) {
        cl.error = "option " + name + " needs a value";
        return true;
    }
    const bool ok = name == "--mode" ? toMode(value, cl.mode) : toSeconds(value, cl.measureSeconds);
    if (!ok)
        cl.error = name == "--mode" ? "option --mode needs a mode number 0..13, not " + value
                                    : "option --measure needs seconds 0..86400, not " + value;
    return true;
}

// --export-curve N FILE: a curve number 1..12 and a file name.
void takeCurveExport(const QStringList& args, int& i, TCommandLine& cl)
{
    bool ok = false;
    const int n = i + 1 < args.size() ? args[i + 1].toInt(&ok) : 0;
    if (!ok || n < 1 || n > 12 || i + 2 >= args.size() || args[i + 2].startsWith("--")) {
        cl.error = "option --export-curve needs a curve number 1..12 and a file";
        return;
    }
    cl.exportCurves.append({n, args[i + 2]});
    i += 2;
}

} // namespace

TCommandLine TCommandLine::parse(const QStringList& arguments)
{
    TCommandLine cl;
    for (int i = 1; i < arguments.size() && cl.error.isEmpty(); ++i) {
        const QString name = optionName(arguments[i]);
        QString* target = nullptr;
        if (name == "--home") target = &cl.home;
        else if (name == "--sound-module") target = &cl.soundModule;
        else if (name == "--screenshot") target = &cl.screenshot;
        else if (name == "--export-text") target = &cl.exportText;
        else if (name == "--preset") target = &cl.preset;
        else if (name == "--results-json") target = &cl.resultsJson;
        else if (name == "--save-wav") target = &cl.saveWav;
        else if (name == "--mic-calibration") target = &cl.micCalibration;
        else if (name == "--save-picture") target = &cl.savePicture;
        else if (name == "--print-pdf") target = &cl.printPdf;
        if (target) {
            if (!takeValue(arguments, i, *target)) cl.error = "option " + name + " needs a value";
        } else if (name == "--mode" || name == "--measure") {
            takeNumber(arguments, i, name, cl);
        } else if (name == "--export-curve") {
            takeCurveExport(arguments, i, cl);
        } else if (name == "--start") {
            cl.start = true;
        } else if (name == "--sound-on") {
            cl.soundOn = true;
        } else if (name == "--results") {
            cl.results = true;
        } else if (name == "--status") {
            cl.status = true;
        } else if (name == "--quit") {
            cl.quit = true;
        } else if (name == "--help" || name == "-h") {
            cl.help = true;
        } else {
            cl.error = "unknown option " + arguments[i];
        }
    }
    return cl;
}

QString TCommandLine::usage()
{
    return QStringLiteral(
        "Usage: velmora [options]\n"
        "  --home DIR            settings and data folder (same as VELMORA_HOME)\n"
        "  --sound-module FILE   sound module to start with (e.g. libSoundSim.so)\n"
        "  --screenshot FILE.png save a picture of the main window once started\n"
        "  --export-text FILE    write the frequency diagram as text to FILE\n"
        "  --preset FILE         execute a preset (.atp) after start, before --mode and --start;\n"
        "                        a bare file name is looked for in the data folder too\n"
        "  --save-picture FILE   save the diagram as a picture: .bmp or .jpg (JPEG with metadata)\n"
        "  --print-pdf FILE      print the diagram page into the PDF file FILE\n"
        "  --mode N              activate measuring mode N (0..13) after start\n"
        "  --sound-on            switch the generator on before the start (the Sound on command)\n"
        "  --start               run the start command once the mode is active\n"
        "  --measure SECONDS     keep running that long, then go on\n"
        "  --status              print the five status-panel texts to standard output\n"
        "  --results             print the measurement's result lines to standard output\n"
        "  --results-json FILE   write the results with their settings as JSON to FILE\n"
        "  --export-curve N FILE write curve N (1..12) to FILE: .frd, .zma, .csv, .txt or .cur\n"
        "  --save-wav FILE       save the last recorded block (or shot) as WAV, float 32 bit\n"
        "  --mic-calibration FILE  load a microphone calibration file as input correction\n"
        "                        (and its sensitivity in mV/Pa) before the start\n"
        "  --quit                exit after the other options have run; messages go to\n"
        "                        standard error and are answered with their default\n"
        "  --help                this text\n");
}
