#include "cli/CliInterrupt.h"
#include "cli/CliProgress.h"
#include "cli/CliSleepLock.h"
#include "cli/Commands.h"

#include "base/KestraneError.h"
#include "core/CompilationModel.h"
#include "core/ImageJob.h"
#include "core/ListFile.h"
#include "core/PickedItem.h"
#include "engine/NativePath.h"
#include "engine/TDVDWriterPro2.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QStorageInfo>

#include <functional>
#include <optional>
#include <sys/stat.h>

namespace Cli {

namespace {

const QString DefaultLabel = QStringLiteral("New Disc"); // the label a new compilation of the window has

// What a command-line path names, asked with the path's own bytes; none when nothing is there.
std::optional<mode_t> modeOf(const QString &path, bool follow)
{
    struct stat st
    {
    };
    const QByteArray native = NativePath::encode(path);
    if ((follow ? ::stat(native.constData(), &st) : ::lstat(native.constData(), &st)) != 0)
        return std::nullopt;
    return st.st_mode;
}

bool isFolder(const QString &path)
{
    const std::optional<mode_t> mode = modeOf(path, true);
    return mode && S_ISDIR(*mode);
}

// A text with its control characters shown as escapes, so that a message stays one readable line.
QString visibleControls(const QString &text)
{
    QString shown;
    for (const QChar c : text) {
        if (c == QLatin1Char('\n'))
            shown += QStringLiteral("\\n");
        else if (c == QLatin1Char('\t'))
            shown += QStringLiteral("\\t");
        else if (c == QLatin1Char('\r'))
            shown += QStringLiteral("\\r");
        else if (c.category() == QChar::Other_Control)
            shown += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            shown += c;
    }
    return shown;
}

// Runs one add; what it did beside adding (folders merged, entries left out) goes to standard error,
// also when the add fails.
void addTelling(TDVDWriterPro2 &engine, const std::function<void()> &add)
{
    const auto tell = qScopeGuard([&engine] {
        for (const QString &notice : engine.LastAddNotices())
            warn(notice);
    });
    add();
}

// Load List's way into the engine: the image is emptied, then every line is added.
class EngineListSink final : public ListFile::Sink
{
public:
    explicit EngineListSink(TDVDWriterPro2 &engine)
        : m_engine(engine)
    { }
    void reset() override { m_engine.ResetImage(); }
    void addFolder(const QString &destFolder, const QString &source) override
    {
        addTelling(m_engine, [&] { m_engine.AddFolder(destFolder, source); });
    }

private:
    TDVDWriterPro2 &m_engine;
};

// The compilation of make-iso and size, as the window would hold it: the list file's content, then
// each source as the picker adds it to the root. A status to exit with when it cannot be made.
std::optional<int> buildCompilation(const Invocation &invocation, TDVDWriterPro2 &engine,
                                    const QStringList &sources)
{
    CompilationModel model(engine);
    QString label = invocation.has("label") ? invocation.value("label") : DefaultLabel;
    if (const QString kept = TDVDWriterPro2::IdentifierText(label); kept != label) {
        warn(QStringLiteral("the label \"%1\" holds control characters; they were left out: \"%2\"")
                 .arg(visibleControls(label), kept));
        label = kept;
    }
    model.setLabel(label);
    model.setLabel(model.imageLabel());
    engine.setRecordChecksums(invocation.flag("checksums"));
    try {
        if (invocation.has("list")) {
            const QString path = invocation.value("list");
            QFile file(path);
            QString problem;
            if (!ListFile::open(file, &problem))
                return fail(QStringLiteral("File load error, please redo it. %1").arg(problem));
            EngineListSink sink(engine);
            switch (ListFile::load(file, sink, &problem)) {
            case ListFile::LoadResult::Loaded:
                break;
            case ListFile::LoadResult::NotAListFile:
                return fail(QStringLiteral("The list file is not accord with the standard fomrat. Please "
                                           "select another one again."));
            case ListFile::LoadResult::LoadError:
                return fail(QStringLiteral("File load error, please redo it. %1").arg(problem));
            }
        }
        for (const QString &source : sources) {
            const QFileInfo info(source);
            const std::optional<mode_t> mode = modeOf(source, false);
            if (!mode)
                return fail(QStringLiteral("%1: no such file or folder").arg(source));
            const QString absolute = QDir::cleanPath(info.absoluteFilePath());
            const QString name = QFileInfo(absolute).fileName();
            if (name.isEmpty())
                return fail(QStringLiteral(
                                "%1: the root folder has no name to give its entry; name its folders instead")
                                .arg(source));
            for (const ImageAddition &addition : AdditionsOf({{absolute, name, isFolder(source)}}, QString()))
                addTelling(engine, [&] { AddToImage(engine, addition); });
        }
    } catch (const KestraneError &error) {
        return fail(error.message());
    }
    return std::nullopt;
}

// The image job the window runs too, here with progress, Ctrl+C and the window's words on failure.
int writeImage(const Invocation &invocation, const ImageJobParams &params, const QString &what)
{
    ImageJob job(params);
    std::optional<CliSleepLock> awake(std::in_place, SleepInhibitor::Job::ImageWrite);
    CliInterrupt::setHandler([&job] { job.cancel(); });
    CliProgress progress(what, invocation.quiet());
    QObject::connect(
        params.engine, &TDVDWriterPro2::OnImageWriteProgress, params.engine,
        [&progress](qint64 written, qint64 total) { progress.update(written, total); }, Qt::DirectConnection);
    const ImageJob::Outcome outcome = job.run();
    awake.reset();
    progress.finish();
    CliInterrupt::clearHandler();
    switch (outcome.status) {
    case ImageJob::Status::Cancelled:
        return fail(QStringLiteral("%1 was cancelled; %2 was not written.").arg(what, params.isoPath),
                    CliInterrupt::cancelledStatus());
    case ImageJob::Status::Failed:
        return fail(QStringLiteral("Error creating ISO File. %1").arg(outcome.error));
    case ImageJob::Status::Written:
        break;
    }
    // What a copy could not keep (part of a disc's boot set-up) is said, without failing the copy.
    for (const QString &note : outcome.notes)
        fail(QStringLiteral("note: %1").arg(note), Success);
    say(QStringLiteral("ISO File Created successfully!"));
    return Success;
}

// The disc's blocks into the file, with progress and Ctrl+C like every write.
int runRawCopy(const Invocation &invocation, TDVDWriterPro2 &engine, int index, const QString &isoPath)
{
    if (QFileInfo(isoPath).isDir())
        return fail(QStringLiteral("%1 is a folder.").arg(isoPath));
    CliInterrupt::setHandler([&engine] { engine.CancelImageWrite(); });
    CliProgress progress(QStringLiteral("copy-disc"), invocation.quiet());
    QObject::connect(
        &engine, &TDVDWriterPro2::OnImageWriteProgress, &engine,
        [&progress](qint64 written, qint64 total) { progress.update(written, total); }, Qt::DirectConnection);
    std::optional<CliSleepLock> awake(std::in_place, SleepInhibitor::Job::ImageWrite);
    const bool written = !CliInterrupt::interrupted() && engine.CopyDiscRaw(index, isoPath);
    awake.reset();
    progress.finish();
    CliInterrupt::clearHandler();
    if (CliInterrupt::interrupted() && !written)
        return fail(QStringLiteral("copy-disc was cancelled; %1 was not written.").arg(isoPath));
    if (!written)
        return fail(QStringLiteral("Error creating ISO File. %1").arg(engine.LastImageError()));
    say(QStringLiteral("ISO File Created successfully!"));
    return Success;
}

} // namespace

int runMakeIso(const Invocation &invocation)
{
    const QString isoPath = invocation.args.arguments.first();
    const QStringList sources = invocation.args.arguments.mid(1);
    if (sources.isEmpty() && !invocation.has("list"))
        return usageError(QStringLiteral("make-iso"), QStringLiteral("make-iso: no SOURCE and no --list"));
    if (isFolder(isoPath))
        return fail(QStringLiteral("%1 is a folder.").arg(isoPath));
    TDVDWriterPro2 engine(TDVDWriterPro2::Instance::DVDWriterPro21);
    if (const std::optional<int> failed = buildCompilation(invocation, engine, sources))
        return *failed;
    try {
        // The size first: an image libisofs cannot lay out, or one the disk cannot hold, is refused
        // before anything is written.
        const qint64 bytes = qint64(TDVDWriterPro2::BlocksToBytes(engine.ImageSizeBlocks(), 1));
        const QStorageInfo storage(QFileInfo(QFileInfo(isoPath).absolutePath()).absoluteFilePath());
        if (storage.isValid() && storage.bytesAvailable() >= 0 && storage.bytesAvailable() < bytes)
            return fail(
                QStringLiteral("Error creating ISO File. The image needs %1 bytes, %2 has %3 bytes free.")
                    .arg(bytes)
                    .arg(storage.rootPath())
                    .arg(storage.bytesAvailable()));
    } catch (const KestraneError &error) {
        return fail(QStringLiteral("Error creating ISO File. %1").arg(error.message()));
    }
    ImageJobParams params;
    params.kind = ImageJobParams::Kind::FilesToImage;
    params.engine = &engine;
    params.isoPath = isoPath;
    params.label = CompilationModel(engine).imageLabel();
    return writeImage(invocation, params, QStringLiteral("make-iso"));
}

int runSize(const Invocation &invocation)
{
    const QStringList sources = invocation.args.arguments;
    if (sources.isEmpty() && !invocation.has("list"))
        return usageError(QStringLiteral("size"), QStringLiteral("size: no SOURCE and no --list"));
    TDVDWriterPro2 engine(TDVDWriterPro2::Instance::DVDWriterPro21);
    if (const std::optional<int> failed = buildCompilation(invocation, engine, sources))
        return *failed;
    try {
        const int64_t blocks = engine.ImageSizeBlocks();
        say(QStringLiteral("%1 bytes, %2 blocks")
                .arg(qint64(TDVDWriterPro2::BlocksToBytes(blocks, 1)))
                .arg(blocks));
    } catch (const KestraneError &error) {
        return fail(error.message());
    }
    return Success;
}

int runCopyDisc(const Invocation &invocation)
{
    const QString letter = driveLetterOf(invocation.args.arguments.at(0));
    const QString isoPath = invocation.args.arguments.at(1);
    if (letter.isEmpty())
        return usageError(
            QStringLiteral("copy-disc"),
            QStringLiteral("copy-disc: \"%1\" is not a drive letter").arg(invocation.args.arguments.at(0)));
    if (invocation.flag("raw") && invocation.flag("checksums"))
        return usageError(
            QStringLiteral("copy-disc"),
            QStringLiteral("copy-disc: --raw copies the disc as it is and records no checksums"));
    TDVDWriterPro2 engine(TDVDWriterPro2::Instance::DVDWriterPro);
    if (!initializeDrives(engine))
        return fail(QStringLiteral("Drives Cannot be initialized...Contact support!"));
    const int index = driveIndex(engine, letter);
    if (index < 0)
        return fail(QStringLiteral("There is no drive %1:").arg(letter));
    if (invocation.flag("raw"))
        return runRawCopy(invocation, engine, index, isoPath);
    engine.setRecordChecksums(invocation.flag("checksums"));
    ImageJobParams params;
    params.kind = ImageJobParams::Kind::DiscToImage;
    params.engine = &engine;
    params.isoPath = isoPath;
    params.sourceDrive = letter + QLatin1Char(':');
    return writeImage(invocation, params, QStringLiteral("copy-disc"));
}

} // namespace Cli
