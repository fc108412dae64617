// The fonts a GUI test runs with: one named font set, chosen through a fontconfig file it writes.
#pragma once

#include <QString>

// A test that draws text must not depend on what the machine happens to have: "Arial" maps to
// DejaVu Sans on one desktop and to Nimbus Sans or Liberation Sans on the next. The set is
// named by the environment variable VELMORA_TEST_FONTS (ctest registers the render tests once
// per set): "dejavu" (the default), "urw" (Arial is Nimbus Sans) or "liberation" (Arial is
// Liberation Sans). Each set holds DejaVu as well, for the glyphs its own sans family lacks.
namespace testFonts {

// Writes the set's fontconfig file, points FONTCONFIG_FILE at it and makes the
// QGuiApplication (once per process; later calls only report). Returns an empty text, or why
// the set cannot be used: an unknown name, a font package that is not installed (test.sh
// installs them), or an "Arial" that does not resolve to the set's family.
QString startGuiApp(const char* programName);

} // namespace testFonts
