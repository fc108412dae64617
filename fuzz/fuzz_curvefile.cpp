// Fuzz target of the curve-file reader: bytes as a ".cur" file, loaded, checked, saved and reloaded.
#include "display/Tcurve.h"
#include "dsp/FFtuli.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

// A property the reader promises does not hold: report it and stop, as a crash would.
void require(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "curve file fuzz check failed: %s\n", what);
        std::abort();
    }
}

// Files go to memory-backed storage when there is some.
const QString& workFolder()
{
    static QTemporaryDir dir(QFileInfo(QStringLiteral("/dev/shm")).isWritable()
                                 ? QStringLiteral("/dev/shm/velmora-curvefuzz-XXXXXX")
                                 : QDir::tempPath() + QStringLiteral("/velmora-curvefuzz-XXXXXX"));
    static const QString path = dir.path();
    return path;
}

// A curve whose every field differs from what a file would give by default.
Tcurve sentinel()
{
    Tcurve c(3);
    c.Name = QStringLiteral("sentinel");
    c.Cygroup = 5;
    c.FlineWidth = 7;
    c.setNewPoints(3);
    for (int i = 0; i < 3; ++i)
        c.setPoint(i, 100.0 * (i + 1), -10.0 * i);
    return c;
}

bool sameValues(const Tcurve& a, const Tcurve& b)
{
    if (a.OriY.samples() != b.OriY.samples() || a.xaxis.samples() != b.xaxis.samples())
        return false;
    for (int32_t i = 0; i < a.OriY.samples(); ++i)
        if (a.OriY.getsmAr(i) != b.OriY.getsmAr(i) || a.xaxis.getsmAr(i) != b.xaxis.getsmAr(i))
            return false;
    return true;
}

// What a load leaves behind: sane fields, and points that agree with the returned count.
void checkLoaded(const Tcurve& c, int32_t n)
{
    require(n >= 0 && n <= Tcurve::kMaxFilePoints, "count out of range");
    require(c.Cygroup >= 0 && c.Cygroup < kDiaCurves, "group out of range");
    require(c.FlineWidth >= 1 && c.FlineWidth <= 20, "line width out of range");
    require(int(c.FValuelogY) <= int(eLevLin) && int(c.Foperation) <= int(eDivi), "enum out of range");
    require(c.FFTwin >= -1 && c.FFTwin <= 8, "window kind out of range");
    require(c.SamplesFFT == 0 || IsValidFFTSize(c.SamplesFFT), "FFT size out of range");
    if (n > 0) {
        require(c.OriY.samples() == n && c.xaxis.samples() == n && c.CpyY.samples() == n, "sizes differ");
        for (int32_t i = 0; i < n; ++i)
            require(std::isfinite(c.OriY.getsmAr(i)) && std::isfinite(c.xaxis.getsmAr(i)), "point not finite");
    }
}

// Saved and loaded again, the curve reads back with the same count and close values.
void checkRoundTrip(const Tcurve& c, int32_t n)
{
    const QString out = workFolder() + QStringLiteral("/back.cur");
    QString err;
    require(c.savetoFile(out, &err), "saving failed");
    Tcurve back;
    require(back.loadfromFile(out, &err) == (n > 0 ? n : c.OriY.samples()), "count changed in a round trip");
    require(back.Name == c.Name && back.Comment == c.Comment, "texts changed in a round trip");
    require(back.FFTwin == c.FFTwin && back.SamplesFFT == c.SamplesFFT, "transform changed in a round trip");
    for (int32_t i = 0; i < back.OriY.samples(); ++i) {
        const double a = c.OriY.getsmAr(i), b = back.OriY.getsmAr(i);
        require(std::fabs(a - b) <= 1e-14 * std::fabs(a) + 1e-300, "value changed in a round trip");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString in = workFolder() + QStringLiteral("/input.cur");
    {
        QFile f(in);
        require(f.open(QIODevice::WriteOnly | QIODevice::Truncate), "cannot write work file");
        f.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    Tcurve c = sentinel();
    const Tcurve before = c;
    QString err;
    const int32_t n = c.loadfromFile(in, &err);
    checkLoaded(c, n);
    if (!err.isEmpty()) {
        require(n == 0 && c.Name == before.Name && sameValues(c, before), "refused file changed the curve");
        return 0;
    }
    checkRoundTrip(c, n);
    return 0;
}
