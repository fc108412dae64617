// Routes the messages of correction curves to the program's message service.
#pragma once

// Makes every Tcorri message a "Warning" box of the message service. Call once at start-up,
// on the GUI thread, before the first curve is loaded.
void installCorriMessageSink();
