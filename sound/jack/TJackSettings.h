// Settings of the JACK module: client name, channel counts and where its ports connect.
#pragma once

#include <string>
#include <vector>

constexpr int kJackMaxChannels = 8;

// Everything SoundJack.ini holds. The GUI thread owns the original.
struct TJackSettings {
    std::string clientName = "velmora"; // name of the client the module opens
    int inChannels = 2;                 // input ports, 1..8
    int outChannels = 2;                // output ports, 1..8
    bool loopback = false;              // outputs connect straight to the module's own inputs
    // Port each output (input) connects to, by channel: empty = the n-th physical playback
    // (capture) port, "-" = no connection. Shorter lists mean the rest are empty.
    std::vector<std::string> outPorts;
    std::vector<std::string> inPorts;

    bool operator==(const TJackSettings&) const = default;
};
