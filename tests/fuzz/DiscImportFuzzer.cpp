// libFuzzer target for reading a disc: a small valid image with checksums whose first 100 blocks
// (descriptors, path tables, folders, checksum attributes) the input overwrites byte by byte, read by
// every path that loads a disc's folders: the copy into an image, the check against the recorded
// checksums, the comparison with an image and the read-back of a burn. Any disc must be refused or
// read within the run's time-out; a copy reported as good must not have lost data on the way
// (libisofs says so when it does), and a disc compared with itself has no differing byte.
#include "base/KestraneError.h"
#include "engine/Libraries.h"
#include "engine/TDVDWriterPro2.h"
#include "engine/drives/BurnVerifier.h"

#include <cstdint>
#include <libisofs/libisofs.h>

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <sys/mman.h>
#include <unistd.h>

namespace {

constexpr size_t Block = 2048;
constexpr size_t DamagedBytes = 100 * Block;

struct Fixture
{
    QTemporaryDir work;
    QByteArray image;
    int disc = -1; // a file in memory that drive X reads
    QString discPath;
    QString copy;
};

Fixture *fixture = nullptr;

void writeFile(const QString &path, const QByteArray &content)
{
    QDir().mkpath(path.section(QLatin1Char('/'), 0, -2));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        std::abort();
}

// Messages at MISHAP or above still queued: what libisofs said while the image was written.
bool libraryLostData()
{
    int severity = 0;
    iso_text_to_sev(const_cast<char *>("MISHAP"), &severity);
    bool lost = false;
    int code = 0;
    int imageId = 0;
    char text[ISO_MSGS_MESSAGE_LEN] = {};
    char name[80] = {};
    std::lock_guard lock(EngineLibraries::isoLock());
    while (iso_obtain_msgs(const_cast<char *>("ALL"), &code, &imageId, text, name) == 1) {
        int rank = 0;
        // "Image write cancelled" is not a loss; nothing here cancels.
        if (iso_text_to_sev(name, &rank) > 0 && rank >= severity)
            lost = true;
    }
    return lost;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication app(*argc, *argv);
    fixture = new Fixture;
    const QString tree = fixture->work.filePath(QStringLiteral("tree"));
    writeFile(tree + QStringLiteral("/readme.txt"), "read me");
    for (int i = 0; i < 12; ++i)
        writeFile(tree + QStringLiteral("/docs/part %1/note%1.txt").arg(i), QByteArray(100 * i + 1, 'n'));
    writeFile(tree + QStringLiteral("/data/big.bin"), QByteArray(300000, 'b'));
    QFile::link(QStringLiteral("readme.txt"), tree + QStringLiteral("/link"));
    TDVDWriterPro2 maker(TDVDWriterPro2::Instance::DVDWriterPro21);
    maker.setRecordChecksums(true);
    maker.AddFolder(QStringLiteral("\\"), tree + QStringLiteral("/*.*"));
    const QString base = fixture->work.filePath(QStringLiteral("base.iso"));
    if (!maker.WriteImageFile(base))
        std::abort();
    QFile file(base);
    if (!file.open(QIODevice::ReadOnly))
        std::abort();
    fixture->image = file.readAll();
    fixture->disc = ::memfd_create("disc", MFD_CLOEXEC);
    if (fixture->disc < 0)
        std::abort();
    fixture->discPath = QStringLiteral("/proc/self/fd/%1").arg(fixture->disc);
    DriveLetters::bind(QLatin1Char('X'), fixture->discPath);
    fixture->copy = fixture->work.filePath(QStringLiteral("copy.iso"));
    return 0;
}

// The input is a list of changes, four bytes each: a 24-bit place in the first 100 blocks, a byte.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray disc = fixture->image;
    const size_t reach = std::min(DamagedBytes, size_t(disc.size()));
    for (size_t i = 0; i + 4 <= size; i += 4) {
        const size_t at = (size_t(data[i]) | size_t(data[i + 1]) << 8 | size_t(data[i + 2]) << 16) % reach;
        disc[qsizetype(at)] = char(data[i + 3]);
    }
    if (::ftruncate(fixture->disc, 0) != 0 ||
        ::pwrite(fixture->disc, disc.constData(), size_t(disc.size()), 0) != disc.size())
        std::abort();

    TDVDWriterPro2 engine(TDVDWriterPro2::Instance::DVDWriterPro);
    libraryLostData(); // what earlier runs left
    bool written = false;
    try {
        engine.AddFolder(QStringLiteral("\\"), QStringLiteral("X:\\*.*"));
        written = engine.WriteImageFile(fixture->copy);
    } catch (const KestraneError &) { }
    if (written && libraryLostData())
        std::abort(); // reported as good although libisofs replaced data
    QFile::remove(fixture->copy);

    engine.VerifyImageChecksums(QStringLiteral("X:"));
    const ImageCheck self = engine.CompareDiscWithImage(QStringLiteral("X"), fixture->discPath);
    if (!self.damaged.isEmpty() || !self.damagedAreas.isEmpty())
        std::abort(); // the same bytes on both sides cannot differ
    const std::atomic<bool> keepGoing {false};
    Drives::verifyBurn(fixture->discPath, fixture->discPath, 0, keepGoing);
    libraryLostData();
    return 0;
}
