// Drive-side figures: burning to a virtual drive, and reading a virtual drive into an image.
#include "BenchCommand.h"
#include "base/KestraneError.h"
#include "engine/TDVDWriterPro2.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>

#include <cstdio>

namespace {

int fail(const QString &message)
{
    std::fprintf(stderr, "kestrane-bench: %s\n", qPrintable(message));
    return 1;
}

// Lists DRIVEFILE as the one virtual drive (large enough for the image) and answers its index.
int listVirtualDrive(TDVDWriterPro2 &engine, const QString &driveFile, qint64 bytes)
{
    const qint64 size = std::max<qint64>(bytes, 4'700'372'992);
    qputenv("KESTRANE_VIRTUAL_DRIVES",
            (QFileInfo(driveFile).absoluteFilePath() + QStringLiteral("=%1").arg(size)).toLocal8Bit());
    if (!engine.InitializeDrives(0))
        return -1;
    return engine.DriveCount() - 1;
}

int runBurn(const QStringList &args)
{
    if (args.size() != 2)
        return fail(QStringLiteral("usage: burn ISO DRIVEFILE"));
    const qint64 bytes = QFileInfo(args.at(0)).size();
    TDVDWriterPro2 engine(TDVDWriterPro2::Instance::DVDWriterPro);
    const int drive = listVirtualDrive(engine, args.at(1), bytes);
    if (drive < 0 || !engine.SelectDrive(drive))
        return fail(QStringLiteral("the virtual drive %1 cannot be used").arg(args.at(1)));

    QEventLoop loop;
    QString outcome;
    qint64 progressEvents = 0;
    QObject::connect(&engine, &TDVDWriterPro2::OnTrackWriteStatus, &loop, [&] { ++progressEvents; });
    QObject::connect(&engine, &TDVDWriterPro2::OnWriteComplete, &loop, [&] {
        outcome = QStringLiteral("complete");
        loop.quit();
    });
    QObject::connect(&engine, &TDVDWriterPro2::OnWriteCancelled, &loop, [&] {
        outcome = QStringLiteral("cancelled");
        loop.quit();
    });
    QObject::connect(&engine, &TDVDWriterPro2::OnWriteError, &loop,
                     [&](int writeError, int, const QString &info, const QString &) {
                         outcome = QStringLiteral("error %1: %2").arg(writeError).arg(info);
                         loop.quit();
                     });
    QElapsedTimer timer;
    timer.start();
    if (!engine.BurnImageFile(args.at(0)))
        return fail(QStringLiteral("the burn did not start"));
    loop.exec();
    const double seconds = Bench::seconds(timer.nsecsElapsed());
    if (outcome != QLatin1String("complete"))
        return fail(outcome);
    if (QFileInfo(args.at(1)).size() != bytes)
        return fail(QStringLiteral("the drive file does not hold the image's length"));
    Bench::printFigure(QStringLiteral("burn_seconds"), seconds, QStringLiteral("s"));
    Bench::printFigure(QStringLiteral("burn_rate"), static_cast<double>(bytes) / 1e6 / seconds,
                       QStringLiteral("MB/s"));
    Bench::printFigure(QStringLiteral("progress_events_per_second"),
                       static_cast<double>(progressEvents) / seconds, QStringLiteral("1/s"));
    return 0;
}

int runReadDrive(const QStringList &args)
{
    if (args.size() != 2)
        return fail(QStringLiteral("usage: readdrive DRIVEFILE OUT.iso"));
    TDVDWriterPro2 engine(TDVDWriterPro2::Instance::DVDWriterPro);
    const int drive = listVirtualDrive(engine, args.at(0), QFileInfo(args.at(0)).size());
    if (drive < 0)
        return fail(QStringLiteral("the drives cannot be listed"));
    try {
        QElapsedTimer timer;
        timer.start();
        engine.ResetImage();
        engine.AddFolder(QStringLiteral("\\"), engine.DriveLetter(drive) + QStringLiteral(":\\*.*"));
        const double importSeconds = Bench::seconds(timer.nsecsElapsed());
        if (!engine.WriteImageFile(args.at(1)))
            return fail(engine.LastImageError());
        const double seconds = Bench::seconds(timer.nsecsElapsed());
        Bench::printFigure(QStringLiteral("import_seconds"), importSeconds, QStringLiteral("s"));
        Bench::printFigure(QStringLiteral("disc_to_image_seconds"), seconds, QStringLiteral("s"));
        Bench::printFigure(QStringLiteral("disc_to_image_rate"),
                           static_cast<double>(QFileInfo(args.at(1)).size()) / 1e6 / seconds,
                           QStringLiteral("MB/s"));
    } catch (const KestraneError &e) {
        return fail(e.message());
    }
    return 0;
}

} // namespace

KESTRANE_BENCH_COMMAND(burn, "burn ISO DRIVEFILE", runBurn);
KESTRANE_BENCH_COMMAND(readdrive, "readdrive DRIVEFILE OUT.iso", runReadDrive);
