// Options of the program's command line, for scripts and tests.
#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

// What the command line asked for. Options beyond starting the program serve scripting:
// another settings folder, another sound module, a measuring mode, starting and running a
// measurement for a while, the status texts, a picture of the main window, the frequency
// diagram as text, quitting.
struct TCommandLine {
    QString home;        // --home DIR: settings and data folder (as VELMORA_HOME)
    QString soundModule; // --sound-module FILE: module to start with, overrides the stored one
    QString screenshot;  // --screenshot FILE.png: picture of the main window once started
    QString exportText;  // --export-text FILE: the frequency diagram as text, after the other steps
    QString preset;      // --preset FILE: a preset executed once the window runs, before --mode and --start
    QString savePicture; // --save-picture FILE: the diagram as BMP or JPEG (by extension, with metadata)
    QString printPdf;    // --print-pdf FILE: the printed page into a PDF file
    int mode = -1;       // --mode N: measuring mode 0..13 to activate after start (-1: the stored one)
    bool soundOn = false; // --sound-on: switch the generator on (the "Sound on" command) before the start
    bool start = false;  // --start: run the start command once the mode is active
    bool results = false; // --results: print the measurement's result lines after running
    double measureSeconds = 0.0; // --measure SECONDS: keep running that long (0..86400), then go on
    bool status = false; // --status: print the five status-panel texts before quitting
    bool quit = false;   // --quit: exit 0 after the other options have run; no box waits
    bool help = false;   // --help: print the usage and exit
    QString resultsJson; // --results-json FILE: the results as JSON, after running
    QString saveWav;     // --save-wav FILE: the last recorded block as WAV (float 32), after running
    QString micCalibration; // --mic-calibration FILE: input correction and sensitivity, before the start
    QList<QPair<int, QString>> exportCurves; // --export-curve N FILE (repeatable): curve N (1..12) after running
    QString error;       // non-empty when the command line could not be understood

    // Parses arguments (the program name first, as in argv).
    static TCommandLine parse(const QStringList& arguments);
    // The usage text printed by --help and after an error.
    static QString usage();
};
