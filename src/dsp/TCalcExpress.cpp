// Formula evaluator: a recursive-descent parser that builds the tree and, alongside, a postfix
// program that calc runs on a small fixed stack.
#include "TCalcExpress.h"

#include <algorithm>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>

using Node = TCalcExpress::Node;
using NodeP = std::unique_ptr<Node>;

namespace {

constexpr long double kTwoPi = 6.283185307179586476925286766559005768L;
constexpr long double kHalfPi = 1.570796326794896619231321691639751442L;
constexpr std::uint64_t kRandomSeed = 0x5DEECE66D2B7E151ULL;
constexpr std::uint64_t kGolden = 0x9E3779B97F4A7C15ULL;

// Sine or cosine (quadrant offset 1) in long double, several times faster than the C library's
// long double routines, which dominate the evaluation otherwise: Cody-Waite reduction by pi/2
// in three parts (exact products for |x| < 2^40), then Taylor polynomials on |r| <= pi/4 whose
// truncation error is below 1e-21. Beyond 2^40 the library takes over.
long double sinQuadrant(long double x, unsigned offset)
{
    if (std::numeric_limits<long double>::digits != 64 || !(std::fabs(x) < 0x1p40L))
        return offset ? std::cos(x) : std::sin(x);
    constexpr long double k2OverPi = 0xa2f9836e4e44152ap-64L;
    constexpr long double kP1 = 0xc90fdb0000000000p-63L;  // pi/2: 24 bits,
    constexpr long double kP2 = -0xbbbd2e0000000000p-88L; // the next 24 bits,
    constexpr long double kP3 = -0xf72cece675d1fc90p-113L; // and 64 more
    constexpr long double kShift = 0x1.8p63L;              // rounds to an integer when added
    const long double shifted = x * k2OverPi + kShift;
    const long double kf = shifted - kShift;
    const long double r = ((x - kf * kP1) - kf * kP2) - kf * kP3;
    // The quadrant is in the low bits of the shifted sum's 64-bit significand (the first
    // eight bytes of the x87 format); a float-to-integer conversion would be far slower.
    std::uint64_t mant = 0;
    std::memcpy(&mant, &shifted, sizeof mant);
    const unsigned q = (unsigned(mant) + offset) & 3u;
    // Estrin's scheme in z = r^2: shorter dependency chains than Horner on the x87 unit.
    const long double z = r * r, z2 = z * z, z4 = z2 * z2;
    long double v;
    if (q & 1u) {
        constexpr long double c[9] = {
            -0x8000000000000000p-64L, 0xaaaaaaaaaaaaaaabp-68L, -0xb60b60b60b60b60bp-73L,
            0xd00d00d00d00d00dp-79L, -0x93f27dbbc4fae397p-85L, 0x8f76c77fc6c4bdaap-92L,
            -0xc9cba54603e4e906p-100L, 0xd73f9f399dc0f88fp-108L, -0xb413c31dcbecbbdep-116L};
        v = 1 + z * (((c[0] + c[1] * z) + z2 * (c[2] + c[3] * z))
                     + z4 * (((c[4] + c[5] * z) + z2 * (c[6] + c[7] * z)) + z4 * c[8]));
    } else {
        constexpr long double c[9] = {
            -0xaaaaaaaaaaaaaaabp-66L, 0x8888888888888889p-70L, -0xd00d00d00d00d00dp-76L,
            0xb8ef1d2ab6399c7dp-82L, -0xd7322b3faa271c7fp-89L, 0xb092309d43684be5p-96L,
            -0xd73f9f399dc0f88fp-104L, 0xca963b81856a5359p-112L, -0x97a4da340a0ab926p-120L};
        v = r + r * z * (((c[0] + c[1] * z) + z2 * (c[2] + c[3] * z))
                         + z4 * (((c[4] + c[5] * z) + z2 * (c[6] + c[7] * z)) + z4 * c[8]));
    }
    return (q & 2u) ? -v : v;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }
bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

bool equalNoCase(const std::string& x, const std::string& y)
{
    if (x.size() != y.size())
        return false;
    for (size_t i = 0; i < x.size(); ++i)
        if (lowerAscii(x[i]) != lowerAscii(y[i]))
            return false;
    return true;
}

std::string trimmed(const std::string& s)
{
    size_t b = 0, e = s.size();
    while (b < e && isBlank(s[b]))
        ++b;
    while (e > b && isBlank(s[e - 1]))
        --e;
    return s.substr(b, e - b);
}

std::vector<std::string> splitList(const std::string& s)
{
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= s.size()) {
        size_t end = s.find(';', start);
        if (end == std::string::npos)
            end = s.size();
        std::string part = trimmed(s.substr(start, end - start));
        if (!part.empty())
            parts.push_back(std::move(part));
        start = end + 1;
    }
    return parts;
}

// Outcome of scanning a number literal.
enum class NumScan { ok, wrong, wrongExp };

// Scans digits and separators, then an optional exponent, from s[pos] (a digit). end gets the
// index after the literal.
NumScan scanNumber(const std::string& s, size_t pos, char sep, size_t& end)
{
    int seps = 0;
    while (pos < s.size() && (isDigit(s[pos]) || s[pos] == sep)) {
        seps += s[pos] == sep;
        ++pos;
    }
    end = pos;
    if (seps > 1)
        return NumScan::wrong;
    if (pos >= s.size() || (s[pos] != 'e' && s[pos] != 'E'))
        return NumScan::ok;
    ++pos;
    if (pos < s.size() && (s[pos] == '+' || s[pos] == '-'))
        ++pos;
    if (pos >= s.size() || !isDigit(s[pos]))
        return NumScan::wrongExp;
    while (pos < s.size() && isDigit(s[pos]))
        ++pos;
    end = pos;
    if (pos < s.size() && s[pos] == sep)
        return NumScan::wrongExp;
    return NumScan::ok;
}

// Decimal exponent of the leading non-zero digit of a scanned literal (without sign), used to
// tell an overflow from an underflow; saturates far beyond the long double range.
long long magnitude(const std::string& lit, char sep)
{
    size_t ePos = lit.find_first_of("eE");
    std::string mant = lit.substr(0, ePos);
    long long exp10 = 0;
    if (ePos != std::string::npos) {
        size_t i = ePos + 1;
        bool neg = i < lit.size() && lit[i] == '-';
        if (i < lit.size() && (lit[i] == '+' || lit[i] == '-'))
            ++i;
        for (; i < lit.size(); ++i)
            exp10 = std::min<long long>(exp10 * 10 + (lit[i] - '0'), 1000000000LL);
        if (neg)
            exp10 = -exp10;
    }
    size_t point = mant.find(sep);
    if (point == std::string::npos)
        point = mant.size();
    size_t first = mant.find_first_of("123456789");
    if (first == std::string::npos)
        return std::numeric_limits<long long>::min() / 2;
    long long lead = first < point ? (long long)(point - first) - 1 : -(long long)(first - point);
    return lead + exp10;
}

// Converts a scanned literal (digits, separator, exponent; no sign) to a value. False when
// it is too large for the evaluator; too small magnitudes become 0.
bool convertNumber(const std::string& lit, char sep, bool negative, long double& out)
{
    std::string buf = lit;
    std::replace(buf.begin(), buf.end(), sep, '.');
    long double v = 0;
    auto res = std::from_chars(buf.data(), buf.data() + buf.size(), v);
    if (res.ec == std::errc::result_out_of_range) {
        if (magnitude(lit, sep) > 0)
            return false;
        v = 0;
    } else if (res.ec != std::errc() || res.ptr != buf.data() + buf.size() || !std::isfinite(v)) {
        return false;
    }
    out = negative ? -v : v;
    return true;
}

struct FunctionName {
    const char* name;
    int kind;
};

constexpr FunctionName kFunctions[] = {
    {"cos", ckCos},         {"sin", ckSin},         {"tan", ckTan},       {"cotan", ckCotan},
    {"abs", ckAbs},         {"sgn", ckSgn},         {"sign", ckSgn},      {"sqrt", ckSqrt},
    {"ln", ckLn},           {"exp", ckExp},         {"arcsin", ckArcsin}, {"arccos", ckArccos},
    {"arctg", ckArctg},     {"arctan", ckArctg},    {"arcccotan", ckArcctg},
    {"arccotan", ckArcctg}, {"sh", ckSh},           {"sinh", ckSh},       {"ch", ckCh},
    {"cosh", ckCh},         {"th", ckTh},           {"tanh", ckTh},       {"cth", ckCth},
    {"coth", ckCth},        {"heaviside", ckHeaviside}, {"h", ckHeaviside},
    {"log", ckLog},         {"random", ckRandom},
};

int functionKind(const std::string& name)
{
    for (const FunctionName& f : kFunctions)
        if (name == f.name)
            return f.kind;
    return ckEnd;
}

bool isFunction(int kind) { return (kind >= ckCos && kind <= ckHeaviside) || kind == ckLog || kind == ckRandom; }

NodeP makeNode(int kind, NodeP left = {}, NodeP right = {})
{
    auto n = std::make_unique<Node>();
    n->kind = kind;
    n->left = std::move(left);
    n->right = std::move(right);
    return n;
}

// Frees a tree of any depth with no recursion and no allocation: left children are rotated
// into the right spine, which is then walked like a list.
void freeTree(NodeP n)
{
    while (n) {
        if (n->left) {
            NodeP l = std::move(n->left);
            n->left = std::move(l->right);
            l->right = std::move(n);
            n = std::move(l);
        } else {
            NodeP next = std::move(n->right);
            n.reset(); // childless now: its destructor does nothing more
            n = std::move(next);
        }
    }
}

} // namespace

Node::~Node()
{
    freeTree(std::move(left));
    freeTree(std::move(right));
}

// Reads the lower-cased formula token by token and builds the tree and the postfix program
// together. Every error throws TCalcParseError; the partial results are simply dropped.
class TCalcParser {
public:
    TCalcParser(const TCalcExpress& owner, const std::string& s) : e_(owner), s_(s) {}

    void parse(NodeP& tree, std::vector<TCalcExpress::Instr>& program, int& maxVar)
    {
        next();
        NodeP root = expression();
        if (cur_ == ckClose)
            fail("brackets?");
        tree = std::move(root);
        program = std::move(program_);
        maxVar = maxVar_;
    }

private:
    [[noreturn]] void fail(const std::string& msg) { throw TCalcParseError(msg); }

    void next()
    {
        prev_ = cur_;
        while (pos_ < s_.size() && isBlank(s_[pos_]))
            ++pos_;
        if (pos_ >= s_.size()) {
            cur_ = ckEnd;
            return;
        }
        const char c = s_[pos_];
        switch (c) {
        case '(': cur_ = ckOpen; ++pos_; return;
        case ')': cur_ = ckClose; ++pos_; return;
        case '+': cur_ = ckPlus; ++pos_; return;
        case '*': cur_ = ckMul; ++pos_; return;
        case '/': cur_ = ckDiv; ++pos_; return;
        case '^': cur_ = ckPower; ++pos_; return;
        case '-':
            // A sign directly before a digit at the start or after "(" belongs to the number.
            if ((prev_ == ckEnd || prev_ == ckOpen) && pos_ + 1 < s_.size() && isDigit(s_[pos_ + 1])) {
                ++pos_;
                readNumber(true);
            } else {
                cur_ = ckMinus;
                ++pos_;
            }
            return;
        default: break;
        }
        if (isDigit(c))
            readNumber(false);
        else if (isLetter(c))
            readName();
        else
            fail("Unknown character");
    }

    void readNumber(bool negative)
    {
        size_t end = pos_;
        NumScan st = scanNumber(s_, pos_, e_.decimal_, end);
        if (st == NumScan::wrong)
            fail("Wrong number");
        if (st == NumScan::wrongExp)
            fail("Wrong number.");
        const std::string lit = s_.substr(pos_, end - pos_);
        pos_ = end;
        if (!convertNumber(lit, e_.decimal_, negative, value_))
            fail("Wrong number");
        text_ = negative ? "-" + lit : lit;
        cur_ = ckNumber;
    }

    void readName()
    {
        size_t start = pos_;
        while (pos_ < s_.size() && (isLetter(s_[pos_]) || isDigit(s_[pos_])))
            ++pos_;
        text_ = s_.substr(start, pos_ - start);
        cur_ = functionKind(text_);
        if (cur_ != ckEnd)
            return;
        const auto& names = e_.FVariables;
        auto it = std::find_if(names.begin(), names.end(),
                               [&](const std::string& n) { return equalNoCase(n, text_); });
        if (it == names.end())
            fail("Unknown variable " + text_.substr(0, 40));
        const int index = int(it - names.begin());
        if (index >= kCalcMaxVars)
            fail("Too many variables");
        cur_ = ckVariable;
        value_ = index;
        text_ = std::to_string(index);
    }

    void emit(int op, long double value = 0, int index = 0)
    {
        if (op == ckNumber || op == ckVariable)
            ++depth_;
        else if (op == ckPlus || op == ckMinus || op == ckMul || op == ckDiv || op == ckPower)
            --depth_;
        if (depth_ > TCalcExpress::kEvalStack)
            fail("Formula too complex");
        program_.push_back({op, index, value});
        if (op == ckVariable)
            maxVar_ = std::max(maxVar_, index);
    }

    void openBracket()
    {
        if (++nesting_ > TCalcExpress::kMaxBracketDepth)
            fail("Brackets nested too deep");
        next();
    }

    void closeBracket()
    {
        if (cur_ != ckClose)
            fail("brackets?");
        --nesting_;
        next();
    }

    NodeP expression()
    {
        NodeP node = term();
        while (cur_ == ckPlus || cur_ == ckMinus) {
            const int op = cur_;
            next();
            NodeP right = term();
            emit(op);
            node = makeNode(op, std::move(node), std::move(right));
        }
        if (cur_ != ckClose && cur_ != ckEnd)
            fail("Operator?");
        return node;
    }

    NodeP term()
    {
        bool negate = false;
        if (prev_ == ckEnd || prev_ == ckOpen) {
            if (cur_ == ckMinus) {
                negate = true;
                next();
            } else if (cur_ == ckPlus) {
                next();
            }
        }
        NodeP node = factor();
        while (cur_ == ckMul || cur_ == ckDiv) {
            const int op = cur_;
            next();
            NodeP right = factor();
            emit(op);
            node = makeNode(op, std::move(node), std::move(right));
        }
        if (negate) {
            emit(ckNegate);
            node = makeNode(ckNegate, std::move(node));
        }
        return node;
    }

    NodeP leaf()
    {
        NodeP n = makeNode(cur_);
        n->text = text_;
        n->value = value_;
        if (cur_ == ckNumber)
            emit(ckNumber, value_);
        else
            emit(ckVariable, value_, int(value_));
        next();
        return n;
    }

    NodeP primary()
    {
        if (cur_ == ckNumber || cur_ == ckVariable)
            return leaf();
        if (cur_ == ckOpen) {
            openBracket();
            NodeP node = expression();
            closeBracket();
            return node;
        }
        if (isFunction(cur_)) {
            const int fn = cur_;
            next();
            if (cur_ != ckOpen)
                fail("Function?");
            openBracket();
            NodeP arg = expression();
            closeBracket();
            emit(fn);
            return makeNode(fn, std::move(arg));
        }
        fail("Operand");
    }

    // The exponent after "^": a number or a variable, alone or in one pair of brackets.
    NodeP exponent()
    {
        const bool bracket = cur_ == ckOpen;
        if (bracket)
            next();
        if (cur_ != ckNumber && cur_ != ckVariable)
            fail("value?");
        NodeP n = leaf();
        if (bracket) {
            if (cur_ != ckClose)
                fail("brackets?");
            next();
        }
        return n;
    }

    NodeP factor()
    {
        const bool literal = cur_ == ckNumber;
        NodeP node = primary();
        if (cur_ != ckPower)
            return node;
        // "-2^2" is -(2^2), as "-x^2" is: a negative literal as base gives up its sign.
        const bool negativeBase = literal && node->text[0] == '-';
        if (negativeBase) {
            node->value = -node->value;
            node->text.erase(0, 1);
            program_.back().value = node->value;
        }
        while (cur_ == ckPower) {
            next();
            NodeP exp = exponent();
            emit(ckPower);
            node = makeNode(ckPower, std::move(node), std::move(exp));
        }
        if (negativeBase) {
            emit(ckNegate);
            node = makeNode(ckNegate, std::move(node));
        }
        return node;
    }

    const TCalcExpress& e_;                    // variable names and decimal separator
    const std::string& s_;                     // the lower-cased formula
    size_t pos_ = 0;                           // read position (0-based)
    int cur_ = ckEnd;                          // current token; ckEnd before the first
    int prev_ = ckEnd;                         // previous token; ckEnd = start of the text
    std::string text_;                         // text of the current number or name
    long double value_ = 0;                    // its value, or the variable index
    int nesting_ = 0;                          // open brackets
    int depth_ = 0;                            // evaluation stack depth after program_
    int maxVar_ = -1;                          // highest variable index used
    std::vector<TCalcExpress::Instr> program_; // postfix program built so far
};

TCalcExpress::TCalcExpress() : random_(kRandomSeed)
{
    // The Qt program sets the C library's locale from the user's; its separator is the default.
    if (const std::lconv* lc = std::localeconv(); lc && lc->decimal_point && lc->decimal_point[0] == ','
                                                  && lc->decimal_point[1] == '\0')
        decimal_ = ',';
    init("0");
}

TCalcExpress::~TCalcExpress() = default;

void TCalcExpress::clearFormula()
{
    Tree.reset();
    program_.clear();
    program_.shrink_to_fit();
    maxVar_ = -1;
}

bool TCalcExpress::init(const std::string& s)
{
    clearFormula();
    Err_ = false;
    errorText_.clear();
    try {
        FFormula.resize(s.size());
        std::transform(s.begin(), s.end(), FFormula.begin(), lowerAscii);
        TCalcParser(*this, FFormula).parse(Tree, program_, maxVar_);
        return true;
    } catch (const TCalcParseError& e) {
        errorText_ = e.what();
    } catch (const std::bad_alloc&) {
        errorText_ = "Formula too long";
    } catch (const std::exception& e) {
        errorText_ = e.what();
    }
    Err_ = true;
    clearFormula();
    return false;
}

int TCalcExpress::parseVariString(const std::string& vstr)
{
    FVariables = splitList(vstr);
    return 0;
}

int TCalcExpress::parseValueString(const std::string& vstr)
{
    FValues = splitList(vstr);
    return 0;
}

bool TCalcExpress::readValue(const std::string& text, long double& value) const
{
    const std::string t = trimmed(text);
    size_t pos = 0;
    bool negative = false;
    if (pos < t.size() && (t[pos] == '+' || t[pos] == '-')) {
        negative = t[pos] == '-';
        ++pos;
    }
    if (pos >= t.size() || !isDigit(t[pos]))
        return false;
    size_t end = pos;
    if (scanNumber(t, pos, decimal_, end) != NumScan::ok || end != t.size())
        return false;
    return convertNumber(t.substr(pos), decimal_, negative, value);
}

int TCalcExpress::prepareFreqArgs(long double* args, double sampleRate, const std::string& formula)
{
    errorText_.clear();
    const size_t n = FVariables.size();
    if (!args || FValues.size() != n) {
        errorText_ = "Variable count must be equal the value count";
        return 0;
    }
    if (n > size_t(kCalcMaxVars)) {
        errorText_ = "Too many variables";
        return 0;
    }
    if (!(sampleRate > 0) || !std::isfinite(sampleRate)) {
        errorText_ = "Sample rate?";
        return 0;
    }
    long double start[kCalcMaxVars] = {}, step[kCalcMaxVars] = {};
    for (size_t i = 0; i < n; ++i) {
        long double v = 0;
        if (!readValue(FValues[i], v)) {
            errorText_ = "Value? " + FValues[i].substr(0, 40);
            return 0;
        }
        if (!FVariables[i].empty() && FVariables[i][0] == 'F')
            step[i] = v * kTwoPi / (long double)sampleRate;
        else
            start[i] = v;
        if (!std::isfinite(step[i])) {
            errorText_ = "Value? " + FValues[i].substr(0, 40);
            return 0;
        }
    }
    if (!init(formula))
        return 0;
    std::copy(start, start + kCalcMaxVars, args);
    std::copy(step, step + kCalcMaxVars, argsC);
    nArgs_ = int(n);
    return 1;
}

void TCalcExpress::doFreqInc(long double* args) const
{
    for (int i = 0; i < nArgs_; ++i)
        args[i] += argsC[i];
}

long double TCalcExpress::increment(int i) const
{
    return i >= 0 && i < kCalcMaxVars ? argsC[i] : 0.0L;
}

const char* TCalcExpress::faultText(int fault)
{
    switch (fault) {
    case fNoFormula: return "No valid formula";
    case fDivZero: return "Division by zero";
    case fLog: return "Logarithm of a number that is not positive";
    case fSqrt: return "Square root of a negative number";
    case fArc: return "arcsin/arccos of a number outside -1..1";
    case fNotFinite: return "Result is not a finite number";
    default: return "";
    }
}

long double TCalcExpress::nextRandom() const noexcept
{
    // splitmix64 on an atomic counter: lock-free, so concurrent calls never race.
    std::uint64_t z = random_.fetch_add(kGolden, std::memory_order_relaxed) + kGolden;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    z ^= z >> 31;
    return (long double)(z >> 11) * 0x1.0p-53L;
}

// x - x is 0 exactly for finite x and NaN for an infinity or NaN; cheaper than isfinite on
// the x87 unit.
inline bool finite(long double x) { return x - x == 0; }

int TCalcExpress::function(int op, long double& x) const noexcept
{
    if (!finite(x))
        return fNotFinite;
    switch (op) {
    case ckNegate: x = -x; break;
    case ckCos: x = sinQuadrant(x, 1); break;
    case ckSin: x = sinQuadrant(x, 0); break;
    case ckTan: x = std::tan(x); break;
    case ckCotan: {
        const long double t = std::tan(x);
        if (t == 0)
            return fDivZero;
        x = 1 / t;
        break;
    }
    case ckAbs: x = std::fabs(x); break;
    case ckSgn: x = x > 0 ? 1 : (x < 0 ? -1 : 0); break;
    case ckSqrt:
        if (x < 0)
            return fSqrt;
        x = std::sqrt(x);
        break;
    case ckLn:
    case ckLog:
        if (!(x > 0))
            return fLog;
        x = op == ckLn ? std::log(x) : std::log10(x);
        break;
    case ckExp: x = std::exp(x); break;
    case ckArcsin:
    case ckArccos:
        if (!(std::fabs(x) <= 1))
            return fArc;
        x = op == ckArcsin ? std::asin(x) : std::acos(x);
        break;
    case ckArctg: x = std::atan(x); break;
    case ckArcctg: x = kHalfPi - std::atan(x); break;
    case ckSh: x = std::sinh(x); break;
    case ckCh: x = std::cosh(x); break;
    case ckTh: x = std::tanh(x); break;
    case ckCth: {
        const long double t = std::tanh(x);
        if (t == 0)
            return fDivZero;
        x = 1 / t;
        break;
    }
    case ckHeaviside: x = x >= 0 ? 1 : 0; break;
    case ckRandom: x = (nextRandom() - 0.5L) * 2 * x; break;
    default: return fNoFormula;
    }
    return fNone;
}

// Runs the postfix program with the top of the stack in a local. Infinities and NaNs flow
// through +, -, * and end as a non-finite result; the operations that could hide one (a
// quotient, a power, any function) check their operands first.
int TCalcExpress::run(const long double* v, long double& out) const noexcept
{
    if (program_.empty())
        return fNoFormula;
    long double st[kEvalStack]; // values below the top; st[0] takes a dummy
    long double* sp = st;       // the parser bounded the depth by kEvalStack
    long double top = 0;
    for (const Instr& in : program_) {
        switch (in.op) {
        case ckNumber: *sp++ = top; top = in.value; break;
        case ckVariable: *sp++ = top; top = v[in.index]; break;
        case ckPlus: top = *--sp + top; break;
        case ckMinus: top = *--sp - top; break;
        case ckMul: top = *--sp * top; break;
        case ckDiv:
            if (top == 0)
                return fDivZero;
            if (!finite(top))
                return fNotFinite;
            top = *--sp / top;
            break;
        case ckPower:
            if (!finite(top) || !finite(sp[-1]))
                return fNotFinite;
            top = std::pow(*--sp, top);
            break;
        // The commonest functions inline; a non-finite argument gives a NaN that the final
        // check reports.
        case ckSin: top = sinQuadrant(top, 0); break;
        case ckCos: top = sinQuadrant(top, 1); break;
        case ckNegate: top = -top; break;
        default:
            if (const int fault = function(in.op, top))
                return fault;
            break;
        }
    }
    if (!finite(top))
        return fNotFinite;
    out = top;
    return fNone;
}

int TCalcExpress::evaluate(const long double* args, int count, long double& out) const noexcept
{
    if (args && count >= maxVar_)
        return run(args, out);
    // Variables beyond args[count] read as 0.
    long double padded[kCalcMaxVars] = {};
    const int n = args ? std::min(count + 1, kCalcMaxVars) : 0;
    for (int i = 0; i < n; ++i)
        padded[i] = args[i];
    return run(padded, out);
}

long double TCalcExpress::calc(const long double* args, int count) const
{
    long double out = 0;
    if (const int fault = evaluate(args, count, out))
        throw TCalcMathError(faultText(fault));
    return out;
}

long double TCalcExpress::calcNoThrow(const long double* args, int count, bool* fault) const noexcept
{
    long double out = 0;
    if (evaluate(args, count, out) != fNone) {
        if (fault)
            *fault = true;
        return 0;
    }
    return out;
}
