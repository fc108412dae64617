// The help service.
#include "base/vlHelp.h"

namespace vl {

namespace {
std::function<void(int)>& handler()
{
    static std::function<void(int)> h; // GUI thread only
    return h;
}
} // namespace

void setHelpHandler(std::function<void(int topic)> h) { handler() = std::move(h); }

bool showHelp(int topic)
{
    if (!handler()) return false;
    handler()(topic);
    return true;
}

} // namespace vl
