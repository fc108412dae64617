// Number columns of text files from other programs: curves (FRD, ZMA, CSV, text) and microphone calibrations.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The rows of a column file: x (usually Hz), y (dB or ohms) and, when every row has a third
// column, the phase (degrees). Comment and header lines are kept as notes.
struct TColumnTable {
    std::vector<double> x;           // strictly rising
    std::vector<double> y;           // one per x
    std::vector<double> phase;       // one per x, or empty when a row lacked it
    std::vector<std::string> notes;  // comment and header lines (trimmed), in file order
};

// Largest file the readers take (bytes) and most rows; larger files are refused.
constexpr size_t kMaxColumnFileBytes = size_t(64) << 20;
constexpr size_t kMaxColumnRows = size_t(1) << 22;

// Reads the rows of `text`. Lines are trimmed; empty lines are skipped; lines starting with
// '*', '"', '#', '!', ';' or "//" are comments; a line without numbers before the first row is
// a header. Columns are separated by ';', tab or blanks (',' in a number is then the decimal
// point), or by ',' when every part of the line is a number. Returns false, with the reason
// and the 1-based line number in *error, for text that is binary or UTF-16, a line after the
// first row that is not a row, fewer than two rows, x that does not rise, or too much text;
// *out is then left as it was.
bool ReadColumnText(std::string_view text, TColumnTable& out, std::string* error = nullptr);

// A microphone calibration's sensitivity line: "Sens Factor =-1.5dB" (dB: what the level
// readings rise by) or "Sensitivity: 12.5 mV/Pa" / "Sens 12.5mV/Pa" (the microphone's
// sensitivity). Found in the notes of a column file.
struct TMicSensitivity {
    double value = 0.0;   // dB or mV/Pa
    bool inDecibel = true; // value is a dB factor; false: mV/Pa
};
// The first sensitivity line among the notes; none when no note holds one (or only one that
// is not usable: no number, mV/Pa not above 0).
std::optional<TMicSensitivity> FindMicSensitivity(const std::vector<std::string>& notes);
