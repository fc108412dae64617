// Sanitizer reports the test programs do not own, compiled into every test program.
// LeakSanitizer: fontconfig keeps its cache until the process ends.
// ThreadSanitizer: Qt comes from the distribution, not built with the sanitizer, so its own
// hand-over between its thread pool and the GUI thread (image drawing, text layout) is invisible
// to the tool and shows up as races inside Qt. The program started by the whole-program tests
// gets the same list through TSAN_OPTIONS (tests/support/tsan.supp). The same holds for the
// window messages posted from a module's thread (postMsg: QCoreApplication::postEvent hands the
// event over under Qt's own lock) and for any race whose stacks run through Qt's own code, such
// as the tasks its thread pool frees.
extern "C" __attribute__((used)) const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}

extern "C" __attribute__((used)) const char* __tsan_default_suppressions()
{
    return "called_from_lib:libQt6Core.so.6\n"
           "called_from_lib:libQt6Gui.so.6\n"
           "called_from_lib:libQt6Widgets.so.6\n"
           "race:libQt6Core.so.6\n"
           "race:libQt6Gui.so.6\n"
           "race:postMsg\n";
}
