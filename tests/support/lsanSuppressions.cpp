// Leak reports the test programs do not own: fontconfig keeps its cache until the process ends.
extern "C" __attribute__((used)) const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}
