// The environment whole-program tests start velmora in: offscreen, the sanitizer's suppressions,
// and no settings folder inherited from the test's own environment.
#pragma once

#include <QProcessEnvironment>

inline QProcessEnvironment velmoraProcessEnvironment()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("TSAN_OPTIONS", "suppressions=" VELMORA_TSAN_SUPP);
    env.remove("VELMORA_HOME");
    return env;
}
