// Complex numbers in extended precision, with operands in Cartesian or polar (magnitude,
// phase) form. Used by the curve arithmetic of the diagrams. Plain C++.
#pragma once

class Tcomplex {
public:
    long double a = 0; // real part
    long double b = 0; // imaginary part

    Tcomplex() = default;
    Tcomplex(long double re, long double im) : a(re), b(im) {}
    // From polar form: magnitude Betrag, angle Phase in radians.
    static Tcomplex create(long double Betrag, long double Phase);

    void add(const Tcomplex& ac);
    void sub(const Tcomplex& ac);
    void addReIm(long double ar, long double bi);
    void multi(const Tcomplex& ac);
    // Divides by ac; does nothing when ac is exactly 0.
    void divi(const Tcomplex& ac);

    // The same with the operand in polar form (magnitude, phase in radians).
    void addBPH(long double Betrag, long double Phase);
    void subBPH(long double Betrag, long double Phase);
    void MultiBPH(long double Betrag, long double Phase);
    void DiviBPH(long double Betrag, long double Phase);

    long double getBetrag() const;
    // Four-quadrant angle in radians, in -pi..pi; (-x, 0) gives -pi; 0 when both parts are
    // below 1e-27 in size.
    long double getPhase() const;
};
