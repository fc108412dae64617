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

// One parameter of a model kind as it appears in [Model] and in the settings dialog.
struct TSimParamInfo {
    const char* key;   // INI key as written
    const char* label; // dialog label, with unit
    double def;        // default
    double min, max;   // values are clamped to this range
    int decimals;      // 0 for whole numbers
};

// A kind of model: its name in [Model] Kind, its parameters and how to build one.
struct TSimModelKind {
    const char* name;                   // lower case
    std::vector<TSimParamInfo> params;  // in dialog order
    std::unique_ptr<TSimModel> (*make)(const TSimModelSettings& settings);
};

// Every kind the bench offers (the first one is the fallback).
const std::vector<TSimModelKind>& simModelKinds();
// The kind of that name (case-insensitive), or nullptr.
const TSimModelKind* simFindModelKind(std::string_view name);
// A parameter's value from the settings: its default when missing, clamped to its range.
double simParam(const TSimModelSettings& settings, const TSimParamInfo& info);
// Builds the model the settings ask for. An unknown kind builds the first kind and puts a
// message for the user into *notice (left empty otherwise).
std::unique_ptr<TSimModel> simMakeModel(const TSimModelSettings& settings, std::string* notice);
