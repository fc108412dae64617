// Routes the messages of correction curves to the program's message service.
#pragma once

#include "dsp/corObj.h"

// A sink that shows each Tcorri message as a "Warning" box of the message service: what the
// program's loaders hand to Tcorri::makeCorrArr. GUI thread.
Tcorri::MessageSink correctionMessageSink();
