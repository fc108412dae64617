// Tests of the formula evaluator (parsing, evaluation, running as a signal, bad input) and of
// the extended-precision complex numbers.
#include "dsp/TCalcExpress.h"
#include "dsp/Tcomplex.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr long double kPi = 3.141592653589793238462643383279502884L;
// Relative tolerance for one long double library call compared with another route to the
// same value: a few units in the last place of the 64-bit mantissa.
constexpr long double kLdRel = 1e-17L;

long double relErr(long double got, long double want)
{
    return std::fabs(got - want) / std::max(1.0L, std::fabs(want));
}

// Evaluator with the variable list "x" (and a few more) and '.' as decimal separator.
struct Calc {
    TCalcExpress e;
    long double args[kCalcMaxVars] = {};
    Calc(const std::string& names = "x;y;F1")
    {
        e.setDecimalSeparator('.');
        e.parseVariString(names);
    }
    bool parse(const std::string& f) { return e.init(f); }
    long double eval(const std::string& f, long double x = 0)
    {
        EXPECT_TRUE(e.init(f)) << f << ": " << e.lastError();
        args[0] = x;
        return e.calc(args, kCalcMaxVars - 1);
    }
    std::string error(const std::string& f)
    {
        EXPECT_FALSE(e.init(f)) << f;
        EXPECT_TRUE(e.Err());
        EXPECT_EQ(e.tree(), nullptr);
        return e.lastError();
    }
    std::string mathError(const std::string& f, long double x = 0)
    {
        EXPECT_TRUE(e.init(f)) << f << ": " << e.lastError();
        args[0] = x;
        try {
            e.calc(args, kCalcMaxVars - 1);
        } catch (const TCalcMathError& ex) {
            return ex.what();
        }
        return "<no error>";
    }
};

TEST(TCalcExpressSignal, SineOfFrequencyVariableReachesOneAfterAQuarterPeriod)
{
    TCalcExpress e;
    e.parseVariString("F1");
    e.parseValueString("1000");
    long double args[kCalcMaxVars];
    ASSERT_EQ(e.prepareFreqArgs(args, 48000, "sin(F1)"), 1);
    EXPECT_EQ(args[0], 0.0L);
    for (int i = 0; i < 12; ++i) {
        EXPECT_NEAR(double(e.calc(args, 0)), std::sin(i * 2 * M_PI * 1000 / 48000), 1e-15);
        e.doFreqInc(args);
    }
    EXPECT_NEAR(double(e.calc(args, 0)), 1.0, 1e-15); // phase 12 * 2 pi 1000 / 48000 = pi/2
}

TEST(TCalcExpressSignal, OnlyNamesBeginningWithUpperCaseFAreFrequencies)
{
    TCalcExpress e;
    e.setDecimalSeparator('.');
    e.parseVariString(" F2 ; amp;f3");
    e.parseValueString("100;0.5; 7 ");
    long double args[kCalcMaxVars];
    ASSERT_EQ(e.prepareFreqArgs(args, 1000, "amp*sin(F2)+f3"), 1);
    EXPECT_EQ(args[0], 0.0L);
    EXPECT_EQ(args[1], 0.5L);
    EXPECT_EQ(args[2], 7.0L); // lower-case "f" is a constant
    EXPECT_NEAR(double(e.increment(0)), 2 * M_PI * 100 / 1000, 1e-16);
    EXPECT_EQ(e.increment(1), 0.0L);
    EXPECT_EQ(e.increment(2), 0.0L);
    e.doFreqInc(args);
    e.doFreqInc(args);
    EXPECT_NEAR(double(e.calc(args, 2)), 0.5 * std::sin(0.4 * M_PI) + 7, 1e-15);
}

TEST(TCalcExpressSignal, PrepareRejectsMismatchedOrUnreadableListsAndLeavesArgsAlone)
{
    TCalcExpress e;
    e.setDecimalSeparator('.');
    long double args[kCalcMaxVars];
    std::fill(args, args + kCalcMaxVars, 42.0L);
    e.parseVariString("F1;A");
    e.parseValueString("1000");
    EXPECT_EQ(e.prepareFreqArgs(args, 48000, "sin(F1)*A"), 0);
    e.parseValueString("1000;abc");
    EXPECT_EQ(e.prepareFreqArgs(args, 48000, "sin(F1)*A"), 0);
    e.parseValueString("1000;1e5000");
    EXPECT_EQ(e.prepareFreqArgs(args, 48000, "sin(F1)*A"), 0);
    e.parseValueString("1000;2");
    EXPECT_EQ(e.prepareFreqArgs(args, 0, "sin(F1)*A"), 0);
    EXPECT_EQ(e.prepareFreqArgs(args, 48000, "sin(F1)*B"), 0);
    EXPECT_EQ(e.lastError(), "Unknown variable b");
    for (long double a : args)
        EXPECT_EQ(a, 42.0L);
    e.parseVariString("a;b;c;d;e;f;g;h;i;j;k;l");
    e.parseValueString("1;2;3;4;5;6;7;8;9;10;11;12");
    EXPECT_EQ(e.prepareFreqArgs(args, 48000, "a"), 0); // more than 11 variables
    EXPECT_EQ(e.lastError(), "Too many variables");
}

TEST(TCalcExpressSignal, ListsSplitAtSemicolonsTrimmedWithoutEmptyParts)
{
    TCalcExpress e;
    e.parseVariString(" F1 ;;  amp ;");
    EXPECT_EQ(e.variables(), (std::vector<std::string>{"F1", "amp"}));
    e.parseValueString("");
    EXPECT_TRUE(e.values().empty());
}

TEST(TCalcExpressParse, PrecedenceAndAssociativity)
{
    Calc c;
    // Exact in binary floating point: compared exactly.
    EXPECT_EQ(c.eval("1+2*3"), 7.0L);
    EXPECT_EQ(c.eval("(1+2)*3"), 9.0L);
    EXPECT_EQ(c.eval("10-4-3"), 3.0L);
    EXPECT_EQ(c.eval("8/4/2"), 1.0L);
    EXPECT_EQ(c.eval("2^3^2"), 64.0L); // left to right
    EXPECT_EQ(c.eval("2*3^2"), 18.0L);
    EXPECT_EQ(c.eval("-2^2"), -4.0L);
    EXPECT_EQ(c.eval("- 2^2"), -4.0L);
    EXPECT_EQ(c.eval("(-2^2)"), -4.0L);
    EXPECT_EQ(c.eval("-2^2^2"), -16.0L);
    EXPECT_EQ(c.eval("(-2)^2"), 4.0L);
    EXPECT_EQ(c.eval("-x^2", 3), -9.0L);
    EXPECT_EQ(c.eval("2^(3)"), 8.0L);
    EXPECT_EQ(c.eval("2^(-1)"), 0.5L);
    EXPECT_EQ(c.eval("2^x", 3), 8.0L);
    EXPECT_EQ(c.eval("-2*3+1"), -5.0L);
    EXPECT_EQ(c.eval("+3"), 3.0L);
    EXPECT_EQ(c.eval("(-3)*(+2)"), -6.0L);
    EXPECT_EQ(c.eval("  1.5e1 + 2E-1 "), 15.2L);
    EXPECT_EQ(c.eval("1."), 1.0L);
    EXPECT_EQ(c.eval("X*Y", 2), 0.0L); // names regardless of case; y is 0
}

TEST(TCalcExpressParse, TreeHoldsKindsAndVariableIndex)
{
    Calc c;
    ASSERT_TRUE(c.parse("Y*3"));
    EXPECT_EQ(c.e.formula(), "y*3");
    const TCalcExpress::Node* t = c.e.tree();
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->kind, ckMul);
    EXPECT_EQ(t->left->kind, ckVariable);
    EXPECT_EQ(t->left->text, "1");
    EXPECT_EQ(t->right->kind, ckNumber);
    EXPECT_EQ(t->right->text, "3");
}

TEST(TCalcExpressParse, ErrorMessages)
{
    Calc c;
    const std::pair<const char*, const char*> cases[] = {
        {"2^sin(1)", "value?"},   {"2^(1+1)", "brackets?"}, {"2^(3", "brackets?"},
        {"2^-1", "value?"},       {"3e", "Wrong number."},  {"3e+", "Wrong number."},
        {"1e5.5", "Wrong number."}, {"1.2.3", "Wrong number"}, {"(1+2", "brackets?"},
        {"1+2)", "brackets?"},    {"sin 1", "Function?"},   {"sin", "Function?"},
        {"1+*2", "Operand"},      {"1--2", "Operand"},      {"", "Operand"},
        {"   ", "Operand"},       {"()", "Operand"},        {"2 3", "Operator?"},
        {"2x", "Operator?"},      {"sin(x)cos(x)", "Operator?"}, {"1e5000", "Wrong number"},
        {"z+1", "Unknown variable z"}, {".5", "Unknown character"}, {"1;2", "Unknown character"},
    };
    for (const auto& [formula, message] : cases)
        EXPECT_EQ(c.error(formula), message) << formula;
    EXPECT_TRUE(c.parse("1+1")); // a failure leaves the evaluator usable
}

TEST(TCalcExpressParse, DecimalSeparatorIsTheConfiguredOneOnly)
{
    Calc c;
    c.e.setDecimalSeparator(',');
    EXPECT_EQ(c.eval("1,5*2"), 3.0L);
    EXPECT_EQ(c.eval("2,5e1"), 25.0L);
    EXPECT_EQ(c.error("1.5"), "Unknown character");
    long double v = 0;
    EXPECT_TRUE(c.e.readValue(" -0,25 ", v));
    EXPECT_EQ(v, -0.25L);
    EXPECT_FALSE(c.e.readValue("0.25", v));
    c.e.setDecimalSeparator('x'); // anything but ',' means '.'
    EXPECT_EQ(c.e.decimalSeparator(), '.');
}

TEST(TCalcExpressParse, ValueTexts)
{
    TCalcExpress e;
    e.setDecimalSeparator('.');
    long double v = 7;
    EXPECT_TRUE(e.readValue("+1e3", v));
    EXPECT_EQ(v, 1000.0L);
    EXPECT_TRUE(e.readValue("1e-6000", v)); // below the range: 0
    EXPECT_EQ(v, 0.0L);
    for (const char* bad : {"", "-", "e5", "1e", "1.2.3", "1 2", "1e5000", "0x10", "nan", "inf", "1,5"})
        EXPECT_FALSE(e.readValue(bad, v)) << bad;
}

TEST(TCalcExpressFunctions, SpecialValues)
{
    Calc c;
    EXPECT_EQ(c.eval("sgn(0)"), 0.0L);
    EXPECT_EQ(c.eval("sign(-3)"), -1.0L);
    EXPECT_EQ(c.eval("sgn(0.001)"), 1.0L);
    EXPECT_EQ(c.eval("heaviside(0)"), 1.0L);
    EXPECT_EQ(c.eval("h(-1)"), 0.0L);
    EXPECT_EQ(c.eval("h(1e-300)"), 1.0L);
    EXPECT_EQ(c.eval("abs(-2.5)"), 2.5L);
    EXPECT_EQ(c.eval("sqrt(16)"), 4.0L);
    EXPECT_LT(relErr(c.eval("log(1000)"), 3.0L), kLdRel);
    EXPECT_EQ(c.eval("tanh(100000)"), 1.0L);  // no inf/inf from the exponential form
    EXPECT_EQ(c.eval("th(-100000)"), -1.0L);
    EXPECT_LT(relErr(c.eval("ln(exp(1))"), 1.0L), kLdRel);
    EXPECT_LT(relErr(c.eval("arctan(1)*4"), kPi), kLdRel);
    EXPECT_LT(relErr(c.eval("arctg(1)*4"), kPi), kLdRel);
    EXPECT_LT(relErr(c.eval("arcccotan(1)*4"), kPi), kLdRel);
    EXPECT_LT(relErr(c.eval("arccotan(0)*2"), kPi), kLdRel);
    EXPECT_LT(relErr(c.eval("arcsin(1)*2"), kPi), kLdRel);
    EXPECT_LT(relErr(c.eval("arccos(-1)"), kPi), kLdRel);
    EXPECT_LT(relErr(c.eval("cos(x)^2+sin(x)^2", 0.7L), 1.0L), kLdRel);
}

// Each function against its definition computed independently in long double, over a range
// of arguments. Tolerance: kLdRel relative (a few ulps), 1e-16 relative where the definition
// itself loses digits (hyperbolics through exp near 0).
TEST(TCalcExpressFunctions, AgainstDefinitions)
{
    struct Case {
        const char* formula;
        long double (*ref)(long double);
        long double tol;
    };
    const Case cases[] = {
        {"cos(x)", [](long double x) { return cosl(x); }, kLdRel},
        {"sin(x)", [](long double x) { return sinl(x); }, kLdRel},
        {"tan(x)", [](long double x) { return sinl(x) / cosl(x); }, 1e-16L},
        {"cotan(x)", [](long double x) { return cosl(x) / sinl(x); }, 1e-16L},
        {"abs(x)", [](long double x) { return x < 0 ? -x : x; }, 0},
        {"exp(x)", [](long double x) { return powl(2.718281828459045235360287471352662498L, x); }, 1e-16L},
        {"arctan(x)", [](long double x) { return atan2l(x, 1.0L); }, kLdRel},
        {"arcccotan(x)", [](long double x) { return atan2l(1.0L, x); }, kLdRel},
        {"sinh(x)", [](long double x) { return (expl(x) - expl(-x)) / 2; }, 1e-16L},
        {"ch(x)", [](long double x) { return (expl(x) + expl(-x)) / 2; }, 1e-16L},
        {"th(x)", [](long double x) { return (expl(x) - expl(-x)) / (expl(x) + expl(-x)); }, 1e-16L},
        {"coth(x)", [](long double x) { return (expl(x) + expl(-x)) / (expl(x) - expl(-x)); }, 1e-16L},
        {"x^3", [](long double x) { return x * x * x; }, kLdRel},
    };
    Calc c;
    for (const Case& k : cases) {
        for (long double x : {-2.9L, -1.3L, -0.45L, 0.3L, 0.9L, 1.7L, 3.1L}) {
            const long double want = k.ref(x);
            const long double got = c.eval(k.formula, x);
            EXPECT_LE(std::fabs(got - want), k.tol * std::max(1.0L, std::fabs(want)))
                << k.formula << " at " << double(x);
        }
    }
    // Functions with a restricted domain, over their domain; the inverse functions undo.
    for (long double x : {0.01L, 0.3L, 1.0L, 2.5L, 1e6L}) {
        EXPECT_LT(relErr(c.eval("sqrt(x)^2", x), x), kLdRel) << double(x);
        EXPECT_LT(relErr(c.eval("exp(ln(x))", x), x), 1e-16L) << double(x);
        EXPECT_LT(relErr(c.eval("log(x)", x), logl(x) / logl(10)), kLdRel) << double(x);
    }
    for (long double x : {-1.0L, -0.6L, 0.0L, 0.25L, 1.0L}) {
        EXPECT_LT(relErr(c.eval("sin(arcsin(x))", x), x), kLdRel) << double(x);
        EXPECT_LT(relErr(c.eval("cos(arccos(x))", x), x), kLdRel) << double(x);
    }
}

// The evaluator's own sine and cosine against the C library's long double routines: within
// 4e-19 absolute (a few ulps of 1) from tiny arguments up to 1e11 and beyond the fast range.
TEST(TCalcExpressFunctions, SineAndCosineMatchTheLibraryOverAWideRange)
{
    Calc s, c;
    ASSERT_TRUE(s.parse("sin(x)"));
    ASSERT_TRUE(c.parse("cos(x)"));
    std::mt19937_64 rng(7);
    std::vector<long double> xs = {0, 1e-30L, -1e-10L, kPi / 4, kPi / 2, -kPi, 3 * kPi / 2,
                                   1e12L, 2e13L, -5e15L};
    for (int i = 0; i < 20000; ++i) {
        const long double mag = std::pow(10.0L, (long double)(rng() % 2200) / 200 - 0.5L);
        xs.push_back((rng() & 1 ? -mag : mag) * (long double)(rng() % 1000) / 999);
    }
    for (long double x : xs) {
        const long double a[1] = {x};
        ASSERT_NEAR(double(s.e.calc(a, 0) - sinl(x)), 0.0, 4e-19) << double(x);
        ASSERT_NEAR(double(c.e.calc(a, 0) - cosl(x)), 0.0, 4e-19) << double(x);
    }
}

TEST(TCalcExpressFunctions, ArithmeticFaultsRaiseMathErrors)
{
    Calc c;
    const std::pair<const char*, const char*> cases[] = {
        {"1/0", "Division by zero"},
        {"1/(x-x)", "Division by zero"},
        {"cotan(0)", "Division by zero"},
        {"cth(0)", "Division by zero"},
        {"ln(0)", "Logarithm of a number that is not positive"},
        {"log(-1)", "Logarithm of a number that is not positive"},
        {"sqrt(-1)", "Square root of a negative number"},
        {"arcsin(1.0000001)", "arcsin/arccos of a number outside -1..1"},
        {"arccos(-2)", "arcsin/arccos of a number outside -1..1"},
        {"exp(20000)", "Result is not a finite number"},
        {"(0-8)^0.5", "Result is not a finite number"},
        {"0^(-1)", "Result is not a finite number"},
        {"1/exp(20000)", "Result is not a finite number"}, // caught where it arises
        {"sh(12000)*0", "Result is not a finite number"},
    };
    for (const auto& [formula, message] : cases)
        EXPECT_EQ(c.mathError(formula), message) << formula;
    EXPECT_EQ(c.mathError("x", std::nanl("")), "Result is not a finite number");
}

TEST(TCalcExpressFunctions, NoThrowVariantReportsFaultsByFlag)
{
    Calc c;
    ASSERT_TRUE(c.parse("1/x"));
    long double a[1] = {0};
    bool fault = false;
    EXPECT_EQ(c.e.calcNoThrow(a, 0, &fault), 0.0L);
    EXPECT_TRUE(fault);
    a[0] = 4;
    fault = false;
    EXPECT_EQ(c.e.calcNoThrow(a, 0, &fault), 0.25L);
    EXPECT_FALSE(fault);
    EXPECT_FALSE(c.parse("1/"));
    EXPECT_EQ(c.e.calcNoThrow(a, 0, &fault), 0.0L); // no formula after a failed parse
    EXPECT_TRUE(fault);
    EXPECT_THROW(c.e.calc(a, 0), TCalcMathError);
}

TEST(TCalcExpressFunctions, VariablesBeyondCountReadAsZero)
{
    Calc c;
    ASSERT_TRUE(c.parse("x+y*10+F1*100"));
    const long double a[3] = {1, 2, 3};
    EXPECT_EQ(c.e.calc(a, 2), 321.0L);
    EXPECT_EQ(c.e.calc(a, 1), 21.0L);
    EXPECT_EQ(c.e.calc(a, -1), 0.0L);
    EXPECT_EQ(c.e.calc(nullptr, 5), 0.0L);
}

TEST(TCalcExpressRandom, UniformWithinAmplitudeAndDeterministicPerEvaluator)
{
    Calc c1, c2;
    ASSERT_TRUE(c1.parse("random(x)"));
    ASSERT_TRUE(c2.parse("random(x)"));
    const long double amp[1] = {2};
    const int n = 100000;
    long double sum = 0, sumSq = 0, lo = 10, hi = -10;
    for (int i = 0; i < n; ++i) {
        const long double v = c1.e.calc(amp, 0);
        EXPECT_EQ(v, c2.e.calc(amp, 0));
        sum += v;
        sumSq += v * v;
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
    EXPECT_GE(lo, -2.0L);
    EXPECT_LT(hi, 2.0L);
    EXPECT_LT(lo, -1.99L);
    EXPECT_GT(hi, 1.99L);
    // Uniform on -2..2: mean 0 (sd of the mean 0.0037), variance 4/3 (5 sigma bounds).
    EXPECT_NEAR(double(sum / n), 0.0, 0.02);
    EXPECT_NEAR(double(sumSq / n), 4.0 / 3, 0.02);
    c1.e.setRandomSeed(99);
    c2.e.setRandomSeed(99);
    EXPECT_EQ(c1.e.calc(amp, 0), c2.e.calc(amp, 0));
}

TEST(TCalcExpressRandom, ConcurrentCallersNeverDrawTheSameValue)
{
    Calc c;
    ASSERT_TRUE(c.parse("random(1)"));
    const int perThread = 20000;
    std::vector<std::vector<long double>> drawn(4);
    std::vector<std::thread> threads;
    for (auto& out : drawn)
        threads.emplace_back([&c, &out] {
            bool fault = false;
            for (int i = 0; i < perThread; ++i)
                out.push_back(c.e.calcNoThrow(nullptr, -1, &fault));
        });
    for (auto& t : threads)
        t.join();
    std::set<long double> all;
    for (const auto& v : drawn)
        all.insert(v.begin(), v.end());
    EXPECT_EQ(all.size(), size_t(4 * perThread)); // a lost update would repeat a value
}

TEST(TCalcExpressBadInput, DeepNestingIsRejectedWithoutRecursionTrouble)
{
    Calc c;
    EXPECT_EQ(c.error(std::string(100000, '(')), "Brackets nested too deep");
    EXPECT_EQ(c.error(std::string(100000, '(') + "1" + std::string(100000, ')')), "Brackets nested too deep");
    const int limit = TCalcExpress::kMaxBracketDepth;
    EXPECT_EQ(c.eval(std::string(limit, '(') + "7" + std::string(limit, ')')), 7.0L);
    std::string fn;
    for (int i = 0; i < limit; ++i)
        fn += "abs(";
    EXPECT_EQ(c.eval(fn + "-1" + std::string(limit, ')')), 1.0L);
    EXPECT_EQ(c.error("(" + fn + "1" + std::string(limit + 1, ')')), "Brackets nested too deep");
    // Two pending values per level overflow the evaluation stack before the nesting limit.
    std::string wide;
    for (int i = 0; i < 70; ++i)
        wide += "1+2*(";
    EXPECT_EQ(c.error(wide + "1" + std::string(70, ')')), "Formula too complex");
}

TEST(TCalcExpressBadInput, MillionTermChainsParseEvaluateAndFree)
{
    Calc c;
    std::string sum = "1";
    sum.reserve(2000000);
    for (int i = 1; i < 1000000; ++i)
        sum += "+1";
    EXPECT_EQ(c.eval(sum), 1000000.0L); // exact: integers in long double
    std::string prod = "x"; // the other chains take the same path: shorter ones do
    for (int i = 1; i < 100000; ++i)
        prod += "*x";
    EXPECT_EQ(c.eval(prod, 1), 1.0L);
    std::string pw = "x";
    for (int i = 1; i < 100000; ++i)
        pw += "^1";
    EXPECT_EQ(c.eval(pw, 3), 3.0L);
    EXPECT_TRUE(c.parse("0")); // frees the million-node tree
    EXPECT_EQ(c.error(sum + "+"), "Operand");
}

TEST(TCalcExpressBadInput, HugeNumbersJunkAndEmbeddedNul)
{
    Calc c;
    EXPECT_EQ(c.error("1e5000"), "Wrong number");
    EXPECT_EQ(c.error("1" + std::string(6000, '0')), "Wrong number");
    EXPECT_EQ(c.eval("1e-5000"), 0.0L);
    EXPECT_EQ(c.eval("0." + std::string(6000, '0') + "1e6000"), 0.1L);
    EXPECT_EQ(c.error("1e99999999999999999999999"), "Wrong number");
    EXPECT_EQ(c.error("sin(x)\xC2\xB7" "2"), "Unknown character");
    EXPECT_EQ(c.error("\xC3\x84+1"), "Unknown character");
    EXPECT_EQ(c.error("\xFF\xFE"), "Unknown character");
    EXPECT_EQ(c.error(std::string("1+\0 2", 5)), "Unknown character");
    EXPECT_EQ(c.error(std::string("1\0", 2)), "Unknown character");
    EXPECT_EQ(c.error(std::string(5000, 'q')), "Unknown variable " + std::string(40, 'q'));
}

// Random token soup with a fixed seed: whatever parses evaluates to a finite value or a fault.
TEST(TCalcExpressBadInput, RandomTokenSoupNeverMisbehaves)
{
    const char* tokens[] = {"(", ")", "+", "-", "*", "/", "^", "1", "0", "2.5", "1e3", "x", "y",
                            "sin", "ln", "sqrt", "h", "random", "arcsin", " ", "3e", ".", "\x80"};
    std::mt19937 rng(20240611);
    Calc c;
    int parsed = 0;
    for (int n = 0; n < 20000; ++n) {
        std::string f;
        const int len = 1 + int(rng() % 12);
        for (int i = 0; i < len; ++i)
            f += tokens[rng() % std::size(tokens)];
        if (!c.e.init(f)) {
            EXPECT_FALSE(c.e.lastError().empty()) << f;
            continue;
        }
        ++parsed;
        const long double a[2] = {0.5L, -3};
        bool fault = false;
        const long double v = c.e.calcNoThrow(a, 1, &fault);
        EXPECT_TRUE(fault ? v == 0 : std::isfinite(v)) << f;
    }
    EXPECT_GT(parsed, 100);
}

TEST(Tcomplex, MultiplyAndDivide)
{
    Tcomplex z(1, 2);
    z.multi(Tcomplex(3, 4));
    EXPECT_EQ(z.a, -5.0L);
    EXPECT_EQ(z.b, 10.0L);
    z.divi(Tcomplex(0, 0));
    EXPECT_EQ(z.a, -5.0L);
    EXPECT_EQ(z.b, 10.0L);
    Tcomplex q(1, 2);
    q.divi(Tcomplex(3, 4)); // (11 + 2i) / 25
    EXPECT_NEAR(double(q.a), 0.44, 1e-18);
    EXPECT_NEAR(double(q.b), 0.08, 1e-18);
    q.multi(Tcomplex(3, 4));
    EXPECT_NEAR(double(q.a), 1.0, 1e-18);
    EXPECT_NEAR(double(q.b), 2.0, 1e-18);
}

TEST(Tcomplex, PolarOperandsAndSums)
{
    Tcomplex z(1, 0);
    z.MultiBPH(2, kPi / 2);
    EXPECT_NEAR(double(z.a), 0.0, 1e-18);
    EXPECT_NEAR(double(z.b), 2.0, 1e-18);
    z.DiviBPH(4, -kPi / 2); // 2i / -4i
    EXPECT_NEAR(double(z.a), -0.5, 1e-18);
    EXPECT_NEAR(double(z.b), 0.0, 1e-18);
    z.addBPH(1, kPi); // -1.5
    z.subBPH(2, -kPi / 2); // -1.5 + 2i
    z.addReIm(0.5L, 1);
    z.add(Tcomplex(1, 1));
    z.sub(Tcomplex(0, 1));
    EXPECT_NEAR(double(z.a), 0.0, 1e-18);
    EXPECT_NEAR(double(z.b), 3.0, 1e-18);
    EXPECT_EQ(Tcomplex(3, -4).getBetrag(), 5.0L);
}

TEST(Tcomplex, PhaseInAllQuadrantsAndOnTheAxes)
{
    EXPECT_EQ(Tcomplex(-1, 0).getPhase(), -kPi);
    EXPECT_EQ(Tcomplex(0, 0).getPhase(), 0.0L);
    EXPECT_EQ(Tcomplex(1e-28L, -1e-28L).getPhase(), 0.0L);
    EXPECT_EQ(Tcomplex(0, 1).getPhase(), kPi / 2);
    EXPECT_EQ(Tcomplex(0, -1).getPhase(), -kPi / 2);
    EXPECT_EQ(Tcomplex(5, 0).getPhase(), 0.0L);
    // Off the negative real axis the phase is the usual four-quadrant angle; magnitude and
    // phase survive the round trip through polar form (tolerance 1e-17 absolute, radians).
    for (long double ph = -3.1L; ph < 3.14L; ph += 0.2L) {
        const Tcomplex z = Tcomplex::create(2.5L, ph);
        EXPECT_NEAR(double(z.getPhase()), double(atan2l(z.b, z.a)), 1e-17) << double(ph);
        EXPECT_NEAR(double(z.getPhase() - ph), 0.0, 1e-17) << double(ph);
        EXPECT_NEAR(double(z.getBetrag()), 2.5, 1e-17);
    }
}

} // namespace
