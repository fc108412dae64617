// Fuzz target of the formula evaluator: bytes as formula (and variable lists), parsed, set up
// as a signal and evaluated for a few samples with both evaluation entry points.
//
// Input: first byte ',' selects the comma as decimal separator, any other the point. The rest
// is "formula" or "formula\x1Fnames\x1Fvalues"; without lists the variables are x, y, F1, a.
#include "dsp/TCalcExpress.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// A property the evaluator promises does not hold: report it and stop, as a crash would.
void require(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "formula fuzz check failed: %s\n", what);
        std::abort();
    }
}

struct Input {
    char separator = '.';
    std::string formula, names = "x;y;F1;a", values = "0.5;-2;1000;3";
};

Input split(const uint8_t* data, size_t size)
{
    Input in;
    if (size == 0)
        return in;
    in.separator = data[0] == ',' ? ',' : '.';
    if (in.separator == ',')
        in.values = "0,5;-2;1000;3";
    const std::string rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    const size_t a = rest.find('\x1f');
    const size_t b = a == std::string::npos ? a : rest.find('\x1f', a + 1);
    if (b == std::string::npos) {
        in.formula = rest;
        return in;
    }
    in.formula = rest.substr(0, a);
    in.names = rest.substr(a + 1, b - a - 1);
    in.values = rest.substr(b + 1);
    return in;
}

// Evaluates one sample both ways with the same random state; they must agree.
void evaluateBoth(TCalcExpress& e, const long double* args, int count)
{
    e.setRandomSeed(1);
    bool fault = false;
    const long double quiet = e.calcNoThrow(args, count, &fault);
    require(!fault || quiet == 0, "calcNoThrow returned a value with a fault");
    require(fault || std::isfinite(quiet), "calcNoThrow returned a non-finite value");
    e.setRandomSeed(1);
    bool threw = false;
    long double loud = 0;
    try {
        loud = e.calc(args, count);
    } catch (const TCalcMathError& ex) {
        threw = true;
        require(ex.what()[0] != '\0', "math error without a message");
    }
    require(threw == fault, "calc and calcNoThrow disagree about a fault");
    require(threw || loud == quiet, "calc and calcNoThrow disagree about the value");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const Input in = split(data, size);
    TCalcExpress e;
    e.setDecimalSeparator(in.separator);
    require(e.parseVariString(in.names) == 0 && e.parseValueString(in.values) == 0, "list parse result");

    const bool parsed = e.init(in.formula);
    require(parsed != e.Err(), "init result and Err differ");
    require(parsed == (e.tree() != nullptr), "tree present without a parse or missing after one");
    require(parsed || !e.lastError().empty(), "parse failure without a message");
    require(e.formula().size() == in.formula.size(), "stored formula length");
    if (parsed)
        evaluateBoth(e, nullptr, -1);

    long double args[kCalcMaxVars];
    if (e.prepareFreqArgs(args, 48000, in.formula) != 1) {
        require(!e.lastError().empty(), "prepareFreqArgs failure without a message");
        return 0;
    }
    const int last = int(e.variables().size()) - 1;
    for (int sample = 0; sample < 4; ++sample) {
        evaluateBoth(e, args, last);
        e.doFreqInc(args);
    }
    evaluateBoth(e, args, last > 0 ? last - 1 : 0); // fewer arguments than variables
    return 0;
}
