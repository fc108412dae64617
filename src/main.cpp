// Program entry: command line, application object, main window, picture and quit for scripts.
#include "app/TCommandLine.h"
#include "app/ui/TBoxMessageService.h"
#include "app/vlMessages.h"
#include "core/ui/TMainForm.h"

#include <QApplication>
#include <QDir>
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

    TMainForm w(TMainForm::Options{cl.soundModule});
    if (w.startupFailed()) return 1;
    boxes.setParent(&w);
    std::printf("velmora: sound module %s\n", qUtf8Printable(w.soundDLLname()));
    std::fflush(stdout);
    if (w.closeRequested()) {
        w.close();
        return 1;
    }
    w.show();
    bool ok = true;
    if (!cl.screenshot.isEmpty()) ok = saveScreenshot(w, cl.screenshot);
    if (cl.quit || !ok) {
        w.close();
        return ok ? 0 : 1;
    }
    return app.exec();
}
