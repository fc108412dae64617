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
        if (target) {
            if (!takeValue(arguments, i, *target)) cl.error = "option " + name + " needs a value";
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
        "  --quit                exit after the other options have run; messages go to\n"
        "                        standard error and are answered with their default\n"
        "  --help                this text\n");
}
