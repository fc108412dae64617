// TYAXgroup: defaults of a y-axis group and the label decimals of its grid step.
#include "display/TYAXgroup.h"

TYAXgroup::TYAXgroup(int32_t index)
    : FGroup(index), FgroupN(char('A' + index)), Fyaxisvis(index == 0)
{
    SButUpper.tag = index;
    SButLower.tag = index;
    setYteil(Fyteil);
}

void TYAXgroup::setYteil(double step)
{
    Fyteil = step;
    static constexpr struct { double below; int32_t decimals; } kLadder[] = {
        {1e-6, 7}, {1e-5, 6}, {1e-4, 5}, {0.001, 4}, {0.01, 3}, {0.1, 2}, {1.0, 1}};
    Fyko = 0;
    for (const auto& r : kLadder) {
        if (step < r.below) {
            Fyko = r.decimals;
            return;
        }
    }
}
