// Complex numbers in extended precision.
#include "Tcomplex.h"

#include <cmath>

namespace {
constexpr long double kPi = 3.141592653589793238462643383279502884L;
constexpr long double kTiny = 1e-27L; // below this a part counts as zero for the phase
} // namespace

Tcomplex Tcomplex::create(long double Betrag, long double Phase)
{
    return {Betrag * std::cos(Phase), Betrag * std::sin(Phase)};
}

void Tcomplex::add(const Tcomplex& ac)
{
    a += ac.a;
    b += ac.b;
}

void Tcomplex::sub(const Tcomplex& ac)
{
    a -= ac.a;
    b -= ac.b;
}

void Tcomplex::addReIm(long double ar, long double bi)
{
    a += ar;
    b += bi;
}

void Tcomplex::multi(const Tcomplex& ac)
{
    const long double re = a * ac.a - b * ac.b;
    b = a * ac.b + b * ac.a;
    a = re;
}

void Tcomplex::divi(const Tcomplex& ac)
{
    const long double d = ac.a * ac.a + ac.b * ac.b;
    if (d == 0)
        return;
    const long double re = (a * ac.a + b * ac.b) / d;
    b = (b * ac.a - a * ac.b) / d;
    a = re;
}

void Tcomplex::addBPH(long double Betrag, long double Phase) { add(create(Betrag, Phase)); }
void Tcomplex::subBPH(long double Betrag, long double Phase) { sub(create(Betrag, Phase)); }
void Tcomplex::MultiBPH(long double Betrag, long double Phase) { multi(create(Betrag, Phase)); }
void Tcomplex::DiviBPH(long double Betrag, long double Phase) { divi(create(Betrag, Phase)); }

long double Tcomplex::getBetrag() const { return std::hypot(a, b); }

long double Tcomplex::getPhase() const
{
    if (std::fabs(a) < kTiny && std::fabs(b) < kTiny)
        return 0;
    if (std::fabs(a) <= kTiny)
        return b < 0 ? -kPi / 2 : kPi / 2;
    if (a < 0)
        return b > 0 ? kPi - std::atan(b / -a) : std::atan(b / a) - kPi;
    return std::atan(b / a);
}
