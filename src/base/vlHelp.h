// The help service: every "Help" button and help command asks here for a topic number.
#pragma once

#include <functional>

namespace vl {

// Installs what shows a help topic (the main window's help window); an empty function removes
// it. GUI thread only.
void setHelpHandler(std::function<void(int topic)> handler);
// Shows the page of `topic`; false when no help handler is installed.
bool showHelp(int topic);

} // namespace vl
