// The device-under-test model interface of the virtual bench and the list of model kinds.
#pragma once

#include "TSimSettings.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

// What a model is prepared for. Rates in Hz; maxFrames is the largest block it will be given.
struct TSimFormat {
    int sampleRate = 48000; // Hz
    int inChannels = 2;     // channels the model writes (recorded inputs)
    int outChannels = 2;    // channels the model reads (generator outputs)
    int maxFrames = 1024;   // largest block passed to process()
    uint32_t seed = 1;      // seed for the model's own noise sources
};

// A device under test: turns the played output channels into the recorded input channels.
// Life cycle: prepare() on the GUI thread (the only place that allocates), then process()
// on the audio thread, block after block. The result must not depend on how the signal is
// cut into blocks. Full scale is +-1.0 on both sides.
class TSimModel {
public:
    virtual ~TSimModel() = default;
    // GUI thread, before the model reaches the audio thread.
    virtual void prepare(const TSimFormat& format) = 0;
    // Audio thread. out: outChannels arrays of frames samples; in: inChannels arrays to fill.
    virtual void process(const double* const* out, double* const* in, int frames) noexcept = 0;
};

// One parameter of a model kind as it appears in its INI section and in the settings dialog.
// A text parameter (text != nullptr) has that default and ignores def, min, max, decimals.
struct TSimParamInfo {
    const char* key;             // INI key as written
    const char* label;           // dialog label, with unit
    double def;                  // default
    double min, max;             // values are clamped to this range
    int decimals;                // 0 for whole numbers
    const char* text = nullptr;  // default of a text parameter
};

// A kind of model: its name in [Model] Kind, the INI section of its parameters, the parameters
// and how to build one.
struct TSimModelKind {
    const char* name;                   // lower case
    const char* section;                // INI section as written ("Model" for the wire)
    std::vector<TSimParamInfo> params;  // in dialog order
    std::unique_ptr<TSimModel> (*make)(const TSimModelSettings& settings);
    // What is wrong with the text parameters (empty when nothing), or null. The model then
    // uses their defaults.
    std::string (*check)(const TSimModelSettings& settings) = nullptr;
};

// Every kind the bench offers (the first one is the fallback).
const std::vector<TSimModelKind>& simModelKinds();
// The kind of that name (case-insensitive), or nullptr.
const TSimModelKind* simFindModelKind(std::string_view name);
// The key of a parameter in TSimModelSettings: "section/key" in lower case.
std::string simKey(std::string_view section, std::string_view key);
// A numeric parameter's value from the settings: its default when missing, clamped to its range.
double simParam(const TSimModelSettings& settings, const TSimModelKind& kind, const TSimParamInfo& info);
// The same by names, for the models: kind and key must exist (else 0).
double simParam(const TSimModelSettings& settings, std::string_view kind, std::string_view key);
// A text parameter's value, or its default when missing.
std::string simText(const TSimModelSettings& settings, std::string_view kind, std::string_view key);
// True when a numeric value lies outside the parameter's range (it is then clamped).
bool simOutOfRange(const TSimParamInfo& info, double value);
// Builds the model the settings ask for. An unknown kind builds the first kind; that, and text
// parameters the model cannot use, put a message for the user into *notice (empty otherwise).
std::unique_ptr<TSimModel> simMakeModel(const TSimModelSettings& settings, std::string* notice);
