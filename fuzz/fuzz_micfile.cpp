// Fuzz target of loading a file as the input correction (microphone calibrations and plain correction files): the file is never changed.
#include "analysis/TCorrectionSet.h"
#include "display/TcurveExchange.h"
#include "display/Tcurve.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void require(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "microphone file fuzz check failed: %s\n", what);
        std::abort();
    }
}

const QString& workFolder()
{
    static QTemporaryDir dir(QFileInfo(QStringLiteral("/dev/shm")).isWritable()
                                 ? QStringLiteral("/dev/shm/velmora-micfuzz-XXXXXX")
                                 : QDir::tempPath() + QStringLiteral("/velmora-micfuzz-XXXXXX"));
    static const QString path = dir.path();
    return path;
}

QByteArray contents(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

// The bytes go to a file with points in it already ("x<sep>y" or not): loaded as the input
// correction it either gives an active curve of finite values or an inactive one, and the
// file keeps its bytes (only a file without any line may be filled with the default lines).
// Imported as a curve, it either loads or leaves the curve as it was.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString in = workFolder() + QStringLiteral("/mic.txt");
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    {
        QFile f(in);
        require(f.open(QIODevice::WriteOnly | QIODevice::Truncate), "cannot write work file");
        f.write(bytes);
    }
    TCorrectionSet set;
    const bool active = set.open(TCorrectionSet::Input, in);
    const Tcorri& cor = set.curve(TCorrectionSet::Input);
    require(!active || cor.getPaare() >= 2, "active with fewer than two points");
    if (active)
        for (double f : {0.0, 20.0, 1000.0, 1e6})
            require(std::isfinite(cor.corri(0.0, f, 0.0)), "correction not finite");
    require(contents(in) == bytes || bytes.trimmed().isEmpty(), "loading changed the file");

    Tcurve c(1);
    c.Name = QStringLiteral("sentinel");
    QString why;
    if (!ImportCurve(c, in, eCurveFormat::cfFRD, &why))
        require(c.Name == QStringLiteral("sentinel") && !why.isEmpty(), "a refused file changed the curve");
    else
        require(c.OriY.samples() >= 2 && c.xaxis.samples() == c.OriY.samples(), "imported sizes differ");
    return 0;
}
