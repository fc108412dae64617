// Formula evaluator of the wave synthesis: parses a formula of named variables into a tree
// and evaluates it in extended precision. Plain C++: the sound modules link it too.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

// A parse error; what() is the user's message ("Wrong number", "Function?", ...).
class TCalcParseError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// An arithmetic fault during evaluation (division by zero, logarithm of a non-positive
// number, a result that is not finite, ...). what() says which.
class TCalcMathError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Token and node kinds.
enum TCalcKind : int {
    ckEnd = 0, ckOpen = 1, ckClose = 2, ckPlus = 3, ckMinus = 4, ckMul = 5, ckDiv = 6,
    ckNumber = 7, ckVariable = 8, ckNegate = 9,
    ckCos = 10, ckSin = 11, ckTan = 12, ckCotan = 13, ckAbs = 14, ckSgn = 15, ckSqrt = 16,
    ckLn = 17, ckExp = 18, ckArcsin = 19, ckArccos = 20, ckArctg = 21, ckArcctg = 22,
    ckSh = 23, ckCh = 24, ckTh = 25, ckCth = 26, ckHeaviside = 27,
    ckPower = 31, ckLog = 32, ckRandom = 33
};

// Largest number of variables a formula may use.
inline constexpr int kCalcMaxVars = 11;

// Thread contract: init, parse*, prepareFreqArgs and setters on one thread (the GUI's, or the
// module's before playing). Once prepared, calc/calcNoThrow may run on any number of threads
// at the same time (they only read the compiled program; "random" draws from an atomic state).
class TCalcExpress {
public:
    struct Node {
        int kind = ckEnd;           // TCalcKind
        std::string text;           // number text, or the variable index as text
        long double value = 0;      // the number, or the variable index
        std::unique_ptr<Node> left, right;
        ~Node();                    // frees children without deep recursion
    };

    // Deepest bracket nesting a formula may have (function brackets included).
    static constexpr int kMaxBracketDepth = 100;
    // Values the evaluation stack holds; a formula that would need more is rejected.
    static constexpr int kEvalStack = 128;

    TCalcExpress();
    ~TCalcExpress();

    // Parses s (lower-cased first). False when it does not parse or the brackets do not
    // balance; lastError() then says why. Never throws.
    bool init(const std::string& s);
    const std::string& lastError() const { return errorText_; }
    bool Err() const { return Err_; }

    // Fill the variable-name and value lists from ";"-separated text. Return 0.
    int parseVariString(const std::string& vstr);
    int parseValueString(const std::string& vstr);
    const std::vector<std::string>& variables() const { return FVariables; }
    const std::vector<std::string>& values() const { return FValues; }

    // Sets up args (kCalcMaxVars entries) and argsC for running formula as a signal at
    // sampleRate: names beginning with "F" are frequencies (phase steps), others constants.
    // 1 on success, 0 when the counts differ, a value is not a number or formula fails to parse.
    int prepareFreqArgs(long double* args, double sampleRate, const std::string& formula);
    // Evaluates the tree with args[0..count]. Throws TCalcMathError on an arithmetic fault.
    long double calc(const long double* args, int count) const;
    // The same for the audio thread: never throws, never allocates; on an arithmetic fault
    // returns 0 and sets *fault to true (left unchanged otherwise).
    long double calcNoThrow(const long double* args, int count, bool* fault) const noexcept;
    // args[i] += argsC[i] for every value.
    void doFreqInc(long double* args) const;

    const std::string& formula() const { return FFormula; }
    const Node* tree() const { return Tree.get(); }

    // Decimal separator used for number literals (the user's locale's by default).
    void setDecimalSeparator(char c) { decimal_ = (c == ',' ? ',' : '.'); }
    char decimalSeparator() const { return decimal_; }

    // Reads a whole value text ("-1,5e3" with the decimal separator; blanks around allowed)
    // the way variable values are read. False when it is not a finite number.
    bool readValue(const std::string& text, long double& value) const;
    // Per-sample increment of variable i after prepareFreqArgs (phase step in radians for a
    // frequency, 0 for a constant); 0 outside 0..kCalcMaxVars-1.
    long double increment(int i) const;
    // Restarts the generator behind "random" (each evaluator starts with the same seed).
    void setRandomSeed(std::uint64_t seed) { random_.store(seed, std::memory_order_relaxed); }

    // One step of the compiled program (postfix order).
    struct Instr {
        int op = ckEnd;             // TCalcKind of the operation
        int index = 0;              // variable index for ckVariable
        long double value = 0;      // the number for ckNumber
    };
    const std::vector<Instr>& program() const { return program_; }

private:
    // Fault codes of one evaluation; 0 = none.
    enum Fault : int { fNone, fNoFormula, fDivZero, fLog, fSqrt, fArc, fNotFinite };
    static const char* faultText(int fault);

    int evaluate(const long double* args, int count, long double& out) const noexcept;
    int run(const long double* vars, long double& out) const noexcept;
    int function(int op, long double& x) const noexcept;
    long double nextRandom() const noexcept;
    void compile();
    void clearFormula();

    bool Err_ = false;               // the last init failed
    std::string FFormula;            // the lower-cased formula
    std::unique_ptr<Node> Tree;      // parse tree of FFormula (null after a failure)
    std::vector<Instr> program_;     // Tree in postfix order: what calc runs
    int maxVar_ = -1;                // highest variable index the program reads
    long double argsC[kCalcMaxVars] = {}; // per-sample increment of each variable
    int nArgs_ = 0;                  // variables set up by the last prepareFreqArgs
    std::vector<std::string> FVariables, FValues; // names and value texts
    std::string errorText_;          // why the last init / prepareFreqArgs failed
    char decimal_ = '.';             // decimal separator of number literals and values
    mutable std::atomic<std::uint64_t> random_; // state of the "random" generator

    friend class TCalcParser;
};
