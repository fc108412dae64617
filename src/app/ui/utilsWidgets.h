// Small widget services: window transparency and showing the stop-watch time.
#pragma once

class QLabel;
class QLineEdit;
class QWidget;

// Sets the window's opacity from a percentage (clamped to 0..100). 100 leaves an opaque
// window untouched and makes a window that was made translucent before opaque again.
// GUI thread only.
void vlSetWindowTransparency(QWidget* window, int percent);

// Writes the milliseconds since vlTimerStart() into a label as "12.345ms", or into an edit
// field as a plain number "12.345". GUI thread only.
void vlShowStopWatch(QLabel* label);
void vlShowStopWatch(QLineEdit* edit);
