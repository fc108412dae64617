// The Thiele-Small report: its lines with their styles, in English or German.
#pragma once

#include "dsp/evalThieleSmall.h"

#include <QString>
#include <vector>

// One line of the report and how it is set.
struct TSPReportLine {
    QString text;
    bool bold = false;
    bool italic = false;
    QString font;  // empty: the memo's fixed-pitch font
    int size = 0;  // points; 0: the memo's size
};

// The whole report of `t` dated `date`: two heading lines, then the parameter table.
std::vector<TSPReportLine> TSPReport(const tTSP& t, bool german, const QString& date);
// The parameter lines alone (from "fs" to the method line, no blank lines): the command line's
// results of a Thiele-Small sweep.
QStringList TSPParameterLines(const tTSP& t, bool german);
