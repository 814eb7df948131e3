// Image-side figures: building, sizing, writing and importing images with the engine.
#include "BenchCommand.h"
#include "base/KestraneError.h"
#include "engine/Libraries.h"
#include "engine/TDVDWriterPro2.h"
#include "engine/image/ImageWriter.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

int fail(const QString &message)
{
    std::fprintf(stderr, "kestrane-bench: %s\n", qPrintable(message));
    return 1;
}

// Adds the tree as one folder of the image, the way the picker does; answers seconds.
double addTree(TDVDWriterPro2 &engine, const QString &tree)
{
    QElapsedTimer timer;
    timer.start();
    engine.AddFolder(QLatin1Char('\\') + QFileInfo(tree).fileName(), tree + QLatin1String("/*.*"));
    return Bench::seconds(timer.nsecsElapsed());
}

// Any one file of the tree, as a destination path.
QString someFileDest(const QString &tree)
{
    QDir dir(tree);
    QString dest = QLatin1Char('\\') + QFileInfo(tree).fileName();
    for (;;) {
        const QStringList files = dir.entryList(QDir::Files | QDir::Hidden, QDir::Name);
        if (!files.isEmpty())
            return dest + QLatin1Char('\\') + files.first();
        const QStringList dirs = dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
        if (dirs.isEmpty())
            return {};
        dir.cd(dirs.first());
        dest += QLatin1Char('\\') + dirs.first();
    }
}

int runSize(const QStringList &args)
{
    if (args.size() != 1)
        return fail(QStringLiteral("usage: size TREE"));
    TDVDWriterPro2 engine(TDVDWriterPro2::Instance::DVDWriterPro21);
    try {
        Bench::printFigure(QStringLiteral("add_seconds"), addTree(engine, args.at(0)), QStringLiteral("s"));
        QElapsedTimer timer;
        timer.start();
        const int64_t blocks = engine.ImageSizeBlocks();
        Bench::printFigure(QStringLiteral("size_seconds"), Bench::seconds(timer.nsecsElapsed()),
                           QStringLiteral("s"));
        Bench::printFigure(QStringLiteral("size_blocks"), static_cast<double>(blocks),
                           QStringLiteral("blocks"));
        timer.restart();
        engine.ImageSizeBlocks();
        Bench::printFigure(QStringLiteral("size_cached_seconds"), Bench::seconds(timer.nsecsElapsed()),
                           QStringLiteral("s"));
        const QString victim = someFileDest(args.at(0));
        if (!victim.isEmpty() && engine.RemoveItem(victim)) {
            timer.restart();
            const int64_t after = engine.ImageSizeBlocks();
            Bench::printFigure(QStringLiteral("refresh_after_remove_seconds"),
                               Bench::seconds(timer.nsecsElapsed()), QStringLiteral("s"));
            Bench::printFigure(QStringLiteral("size_blocks_after_remove"), static_cast<double>(after),
                               QStringLiteral("blocks"));
        }
    } catch (const KestraneError &e) {
        return fail(e.message());
    }
    return 0;
}

int writeImage(TDVDWriterPro2 &engine, const QString &out, double addSeconds)
{
    QElapsedTimer timer;
    timer.start();
    if (!engine.WriteImageFile(out))
        return fail(engine.LastImageError());
    const double writeSeconds = Bench::seconds(timer.nsecsElapsed());
    const double megabytes = static_cast<double>(QFileInfo(out).size()) / 1e6;
    Bench::printFigure(QStringLiteral("write_seconds"), writeSeconds, QStringLiteral("s"));
    Bench::printFigure(QStringLiteral("total_seconds"), addSeconds + writeSeconds, QStringLiteral("s"));
    Bench::printFigure(QStringLiteral("image_megabytes"), megabytes, QStringLiteral("MB"));
    Bench::printFigure(QStringLiteral("write_rate"), megabytes / writeSeconds, QStringLiteral("MB/s"));
    return 0;
}

int runWrite(const QStringList &given)
{
    QStringList args = given;
    const QString label = Bench::takeOption(args, QStringLiteral("label"));
    // "--through-library": every byte passes through libisofs, as before the direct copy.
    const bool throughLibrary = args.removeAll(QStringLiteral("--through-library")) > 0;
    ImageWriter::setDirectCopyAllowed(!throughLibrary);
    if (args.size() != 2)
        return fail(QStringLiteral("usage: write TREE OUT.iso [--label L] [--through-library]"));
    TDVDWriterPro2 engine(TDVDWriterPro2::Instance::DVDWriterPro21);
    if (!label.isEmpty())
        engine.setVolumeIdentifier(label);
    try {
        // The whole tree is the image's root, like the peers' "TREE" argument.
        QElapsedTimer timer;
        timer.start();
        engine.AddFolder(QStringLiteral("\\"), args.at(0) + QLatin1String("/*.*"));
        const double addSeconds = Bench::seconds(timer.nsecsElapsed());
        Bench::printFigure(QStringLiteral("add_seconds"), addSeconds, QStringLiteral("s"));
        return writeImage(engine, args.at(1), addSeconds);
    } catch (const KestraneError &e) {
        return fail(e.message());
    }
}

int runRead(const QStringList &args)
{
    if (args.size() != 2)
        return fail(QStringLiteral("usage: read ISO OUT.iso"));
    DriveLetters::bind(QLatin1Char('K'), QFileInfo(args.at(0)).absoluteFilePath());
    TDVDWriterPro2 engine(TDVDWriterPro2::Instance::DVDWriterPro);
    try {
        QElapsedTimer timer;
        timer.start();
        engine.AddFolder(QStringLiteral("\\"), QStringLiteral("K:\\*.*"));
        const double addSeconds = Bench::seconds(timer.nsecsElapsed());
        Bench::printFigure(QStringLiteral("import_seconds"), addSeconds, QStringLiteral("s"));
        return writeImage(engine, args.at(1), addSeconds);
    } catch (const KestraneError &e) {
        return fail(e.message());
    }
}

int runMemory(const QStringList &args)
{
    if (args.size() != 1)
        return fail(QStringLiteral("usage: memory TREE"));
    TDVDWriterPro2 engine(TDVDWriterPro2::Instance::DVDWriterPro21);
    try {
        engine.ResetImage(); // the library is up before the first figure
        const qint64 before = Bench::residentBytes();
        const double addSeconds = addTree(engine, args.at(0));
        const qint64 after = Bench::residentBytes();
        qint64 files = 0;
        for (QDirIterator it(args.at(0), QDir::Files | QDir::Hidden | QDir::System,
                             QDirIterator::Subdirectories);
             it.hasNext(); it.next())
            ++files;
        if (files == 0)
            return fail(QStringLiteral("the tree holds no files"));
        Bench::printFigure(QStringLiteral("files"), static_cast<double>(files), QString());
        Bench::printFigure(QStringLiteral("add_seconds"), addSeconds, QStringLiteral("s"));
        Bench::printFigure(QStringLiteral("resident_growth"), static_cast<double>(after - before) / 1e6,
                           QStringLiteral("MB"));
        Bench::printFigure(QStringLiteral("bytes_per_file"), static_cast<double>(after - before) / files,
                           QStringLiteral("B"));
    } catch (const KestraneError &e) {
        return fail(e.message());
    }
    return 0;
}

// mktree DIR FOLDERS FILES_PER_FOLDER BYTES: a tree of FOLDERS folders of equal files, quickly.
int runMakeTree(const QStringList &args)
{
    if (args.size() != 4)
        return fail(QStringLiteral("usage: mktree DIR FOLDERS FILES_PER_FOLDER BYTES"));
    const QString root = args.at(0);
    const int folders = args.at(1).toInt();
    const int files = args.at(2).toInt();
    const qint64 bytes = args.at(3).toLongLong();
    QByteArray chunk(static_cast<int>(std::min<qint64>(bytes, 1 << 20)), 'k');
    for (int i = 0; i < chunk.size(); ++i)
        chunk[i] = static_cast<char>('a' + (i * 7 + i / 4096) % 26);
    for (int f = 0; f < folders; ++f) {
        const QString folder = QStringLiteral("%1/d%2").arg(root).arg(f, 4, 10, QLatin1Char('0'));
        if (!QDir().mkpath(folder))
            return fail(QStringLiteral("cannot make %1").arg(folder));
        for (int n = 0; n < files; ++n) {
            const QByteArray path = QFile::encodeName(
                QStringLiteral("%1/file%2.dat").arg(folder).arg(n, 6, 10, QLatin1Char('0')));
            const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
            if (fd < 0)
                return fail(QStringLiteral("cannot make %1").arg(QFile::decodeName(path)));
            for (qint64 left = bytes; left > 0;) {
                const ssize_t w =
                    ::write(fd, chunk.constData(), static_cast<size_t>(std::min<qint64>(left, chunk.size())));
                if (w <= 0) {
                    ::close(fd);
                    return fail(QStringLiteral("cannot write %1").arg(QFile::decodeName(path)));
                }
                left -= w;
            }
            ::close(fd);
        }
    }
    return 0;
}

} // namespace

KESTRANE_BENCH_COMMAND(size, "size TREE", runSize);
KESTRANE_BENCH_COMMAND(write, "write TREE OUT.iso [--label L]", runWrite);
KESTRANE_BENCH_COMMAND(read, "read ISO OUT.iso", runRead);
KESTRANE_BENCH_COMMAND(memory, "memory TREE", runMemory);
KESTRANE_BENCH_COMMAND(mktree, "mktree DIR FOLDERS FILES_PER_FOLDER BYTES", runMakeTree);
