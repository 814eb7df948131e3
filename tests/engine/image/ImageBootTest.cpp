// A bootable disc copied into an image (the window's CD → ISO): the copy keeps the disc's El Torito
// entries and what libisofs can lay out again of its system area, read back by xorriso, and boots
// under QEMU where it is installed.
#include "ImageTestSupport.h"
#include "TestSupport.h"
#include "engine/Libraries.h"
#include "engine/TDVDWriterPro2.h"
#include "engine/image/ImageTree.h"
#include "engine/image/ImageWriter.h"
#include "engine/image/LocalSourceAdder.h"
#include "engine/image/SourceFileStream.h"

#include <cstdint>
#include <libisofs/libisofs.h>

#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

using namespace ImageTest;

namespace {

const QString BootWord = QStringLiteral("KESTRANE-BOOT-OK");

// Makes a disc with tests/data/boot/make-boot-disc.sh; false when the tools are missing (77).
bool makeBootDisc(const QString &kind, const QString &iso, QString &why)
{
    const ProcessResult made = run(QStringLiteral("bash"),
                                   {QStringLiteral(KESTRANE_TEST_DATA "/boot/make-boot-disc.sh"), iso, kind});
    why = QString::fromUtf8(made.err);
    return made.exitCode == 0;
}

QStringList xorrisoReport(const QString &iso, const QString &what)
{
    const ProcessResult report =
        run(QStringLiteral("xorriso"),
            {QStringLiteral("-indev"), iso, QStringLiteral("-report_") + what, QStringLiteral("plain")});
    QStringList lines;
    for (const QString &line : QString::fromUtf8(report.out).split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String("El Torito")) || line.startsWith(QLatin1String("System area")) ||
            line.startsWith(QLatin1String("MBR")) || line.startsWith(QLatin1String("GPT")) ||
            line.startsWith(QLatin1String("ISO image size")))
            lines << line.simplified();
    }
    return lines;
}

// The entries as a copy must keep them: everything but the block addresses, which a copy lays out anew.
QStringList bootEntries(const QString &iso)
{
    QStringList entries;
    for (QString line : xorrisoReport(iso, QStringLiteral("el_torito"))) {
        QStringList fields = line.split(QLatin1Char(' '));
        if (line.startsWith(QLatin1String("El Torito boot img")))
            fields.removeLast();
        else if (line.startsWith(QLatin1String("El Torito catalog")))
            fields.removeAt(fields.indexOf(QLatin1String(":")) + 1);
        entries << fields.join(QLatin1Char(' '));
    }
    return entries;
}

// The block of boot entry 1 as the image's catalogue gives it.
qint64 firstBootBlock(const QString &iso)
{
    for (const QString &line : xorrisoReport(iso, QStringLiteral("el_torito"))) {
        if (line.startsWith(QLatin1String("El Torito boot img : 1 ")))
            return line.split(QLatin1Char(' ')).last().toLongLong();
    }
    return -1;
}

QStringList listing(const QString &iso)
{
    const ProcessResult found =
        run(QStringLiteral("xorriso"),
            {QStringLiteral("-indev"), iso, QStringLiteral("-find"), QStringLiteral("/")});
    return QString::fromUtf8(found.out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QString reportValue(const QStringList &lines, const QString &key)
{
    for (const QString &line : lines) {
        if (line.startsWith(key))
            return line.mid(line.indexOf(QLatin1Char(':')) + 1).trimmed();
    }
    return {};
}

QString bootUnderQemu(const QString &iso)
{
    const ProcessResult booted = run(
        QStringLiteral("qemu-system-x86_64"),
        {QStringLiteral("-cdrom"), iso, QStringLiteral("-boot"), QStringLiteral("d"),
         QStringLiteral("-nographic"), QStringLiteral("-display"), QStringLiteral("none"),
         QStringLiteral("-serial"), QStringLiteral("stdio"), QStringLiteral("-monitor"),
         QStringLiteral("none"), QStringLiteral("-net"), QStringLiteral("none"), QStringLiteral("-no-reboot"),
         QStringLiteral("-device"), QStringLiteral("isa-debug-exit,iobase=0xf4,iosize=0x04")},
        30000);
    return QString::fromUtf8(booted.out);
}

struct BootRow
{
    const char *kind;
    bool infoTable; // entry 1 carries a boot info table, to be patched for the copy's places
    bool systemAreaKept; // xorriso describes the copy's system area as the disc's
    const char *note; // in the one note the copy must give, or null for none
};

void PrintTo(const BootRow &row, std::ostream *os)
{
    *os << row.kind;
}

const BootRow BootRows[] = {
    {"plain", false, true, nullptr}, {"info-table", true, true, nullptr},
    {"two", true, true, nullptr},    {"hidden", false, true, nullptr},
    {"mbr", true, true, nullptr},    {"gpt", true, false, "partition tables after the MBR"},
};

class ImageBoot : public ::testing::TestWithParam<BootRow>
{
protected:
    void TearDown() override { DriveLetters::clear(); }
};

TEST_P(ImageBoot, CopyKeepsTheBootRecordsAndBoots)
{
    const BootRow &row = GetParam();
    QTemporaryDir work;
    const QString disc = work.filePath(QStringLiteral("disc.iso"));
    QString why;
    if (!makeBootDisc(QString::fromLatin1(row.kind), disc, why)) {
        if (why.contains(QLatin1String("missing")))
            GTEST_SKIP() << why.toStdString();
        FAIL() << why.toStdString();
    }

    DriveLetters::bind(QLatin1Char('X'), disc);
    TDVDWriterPro2 engine(TDVDWriterPro2::Instance::DVDWriterPro);
    engine.AddFolder(QStringLiteral("\\"), QStringLiteral("X:\\*.*"));
    const QString copy = work.filePath(QStringLiteral("copy.iso"));
    ASSERT_TRUE(engine.WriteImageFile(copy)) << engine.LastImageError().toStdString();

    EXPECT_EQ(QFileInfo(copy).size(), engine.ImageSizeBlocks() * 2048);
    // The same folders and files, the catalogue once.
    EXPECT_EQ(listing(copy), listing(disc));
    const QStringList entries = bootEntries(disc);
    ASSERT_FALSE(entries.isEmpty());
    EXPECT_EQ(bootEntries(copy), entries);
    const QStringList notes = engine.ImageNotes();
    if (row.note) {
        ASSERT_EQ(notes.size(), 1) << notes.join(QLatin1Char('\n')).toStdString();
        EXPECT_TRUE(notes.first().startsWith(QStringLiteral("The disc in drive X: ")));
        EXPECT_TRUE(notes.first().contains(QLatin1String(row.note))) << notes.first().toStdString();
    } else {
        EXPECT_EQ(notes, QStringList());
    }

    const QByteArray image = TestSupport::readAll(copy);
    const qint64 bootBlock = firstBootBlock(copy);
    ASSERT_GT(bootBlock, 16);
    const QByteArray table = image.mid(bootBlock * 2048 + 8, 12);
    ASSERT_EQ(table.size(), 12);
    if (row.infoTable) {
        EXPECT_NE(firstBootBlock(disc), bootBlock) << "the copy must move the boot image for this to show";
        EXPECT_EQ(qFromLittleEndian<quint32>(table.constData()), 16u);
        EXPECT_EQ(qFromLittleEndian<quint32>(table.constData() + 4), quint32(bootBlock));
        EXPECT_EQ(qFromLittleEndian<quint32>(table.constData() + 8), 2048u);
    } else {
        EXPECT_EQ(table, QByteArray(12, '\0'));
    }

    const QStringList discArea = xorrisoReport(disc, QStringLiteral("system_area"));
    const QStringList copyArea = xorrisoReport(copy, QStringLiteral("system_area"));
    const QString summary = QStringLiteral("System area summary");
    if (row.systemAreaKept) {
        EXPECT_EQ(reportValue(copyArea, summary), reportValue(discArea, summary));
    } else {
        EXPECT_FALSE(reportValue(copyArea, summary).contains(QLatin1String("GPT")));
        EXPECT_TRUE(reportValue(discArea, summary).contains(QLatin1String("GPT")));
        EXPECT_TRUE(reportValue(copyArea, summary).startsWith(QLatin1String("MBR protective-msdos-label")));
    }
    // A kept MBR partition spans the copy, not the disc.
    const QString partition = reportValue(copyArea, QStringLiteral("MBR partition :"));
    if (!partition.isEmpty()) {
        EXPECT_EQ(partition.split(QLatin1Char(' ')).last().toLongLong(), QFileInfo(copy).size() / 512 - 1)
            << partition.toStdString();
    }

    if (QStandardPaths::findExecutable(QStringLiteral("qemu-system-x86_64")).isEmpty())
        GTEST_SKIP() << "qemu-system-x86_64 is missing: the copy was not booted";
    EXPECT_TRUE(bootUnderQemu(copy).contains(BootWord));
}

INSTANTIATE_TEST_SUITE_P(Kinds, ImageBoot, ::testing::ValuesIn(BootRows), [](const auto &testInfo) {
    return QString::fromLatin1(testInfo.param.kind).replace(QLatin1Char('-'), QLatin1Char('_')).toStdString();
});

class ImageBootMerge : public ::testing::Test
{
protected:
    void TearDown() override { DriveLetters::clear(); }
};

// A second bootable disc read into an image that already boots keeps the first disc's way to boot and
// says so; a reset forgets both.
TEST_F(ImageBootMerge, SecondBootableDiscKeepsTheFirstOnesRecords)
{
    QTemporaryDir work;
    const QString first = work.filePath(QStringLiteral("first.iso"));
    const QString second = work.filePath(QStringLiteral("second.iso"));
    QString why;
    if (!makeBootDisc(QStringLiteral("plain"), first, why) ||
        !makeBootDisc(QStringLiteral("two"), second, why))
        GTEST_SKIP() << why.toStdString();
    DriveLetters::bind(QLatin1Char('X'), first);
    DriveLetters::bind(QLatin1Char('Y'), second);
    TDVDWriterPro2 engine(TDVDWriterPro2::Instance::DVDWriterPro21);
    engine.AddFolder(QStringLiteral("\\A"), QStringLiteral("X:\\*.*"));
    engine.AddFolder(QStringLiteral("\\B"), QStringLiteral("Y:\\*.*"));
    const QStringList notes = engine.ImageNotes();
    ASSERT_EQ(notes.size(), 1);
    EXPECT_TRUE(notes.first().startsWith(QStringLiteral("The disc in drive Y: the image already boots")));

    const QString merged = work.filePath(QStringLiteral("merged.iso"));
    ASSERT_TRUE(engine.WriteImageFile(merged)) << engine.LastImageError().toStdString();
    const QStringList entries = bootEntries(merged);
    EXPECT_TRUE(entries.contains(QStringLiteral("El Torito img path : 1 /A/boot/boot.bin")))
        << entries.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(entries.contains(QStringLiteral("El Torito cat path : /A/boot/boot.cat")));

    engine.ResetImage();
    EXPECT_EQ(engine.ImageNotes(), QStringList());
    engine.AddFolder(QStringLiteral("\\"), QStringLiteral("Y:\\*.*"));
    const QString again = work.filePath(QStringLiteral("again.iso"));
    ASSERT_TRUE(engine.WriteImageFile(again)) << engine.LastImageError().toStdString();
    EXPECT_EQ(bootEntries(again), bootEntries(second));
}

// A boot image that is a local file with a boot info table: libisofs patches the table while it writes
// the file, so the file's data must not be copied around libisofs, however large the rest is.
TEST(ImageBootWrite, BootInfoTableOfALocalBootImageIsPatched)
{
    QTemporaryDir work;
    const QString disc = work.filePath(QStringLiteral("disc.iso"));
    QString why;
    if (!makeBootDisc(QStringLiteral("plain"), disc, why))
        GTEST_SKIP() << why.toStdString();
    const QString bootFile = work.filePath(QStringLiteral("boot.bin"));
    const ProcessResult extracted =
        run(QStringLiteral("xorriso"),
            {QStringLiteral("-osirrox"), QStringLiteral("on"), QStringLiteral("-indev"), disc,
             QStringLiteral("-extract"), QStringLiteral("/boot/boot.bin"), bootFile});
    ASSERT_EQ(extracted.exitCode, 0) << extracted.err.toStdString();
    writeFile(work.filePath(QStringLiteral("data/big.bin")), patterned(8 << 20, 3));

    ASSERT_TRUE(EngineLibraries::ensureIsoInit());
    const QString image = work.filePath(QStringLiteral("local.iso"));
    auto control = std::make_shared<WriteControl>();
    std::unique_ptr<ImageTree> tree;
    {
        std::lock_guard lock(EngineLibraries::isoLock());
        tree = std::make_unique<ImageTree>();
        const ItemSink sink;
        LocalSourceAdder adder(*tree, control, sink);
        adder.addEntry({QStringLiteral("big.bin")}, work.filePath(QStringLiteral("data/big.bin")));
        adder.addEntry({QStringLiteral("boot.bin")}, bootFile);
        ElToritoBootImage *boot = nullptr;
        ASSERT_EQ(iso_image_set_boot_image(tree->image(), "/boot.bin", ELTORITO_NO_EMUL, "/boot.cat", &boot),
                  1);
        el_torito_set_load_size(boot, 4);
        el_torito_set_isolinux_options(boot, 1, 0);
        // A catalogue in no folder leaves nothing in the directories that is not a local file.
        iso_image_set_boot_catalog_hidden(tree->image(),
                                          LIBISO_HIDE_ON_RR | LIBISO_HIDE_ON_JOLIET | LIBISO_HIDE_ON_1999);
    }
    // The writer takes the lock itself, as the engine's writes do.
    WriteSettings settings;
    settings.volumeId = QStringLiteral("LOCALBOOT");
    const ImageWriter::Result written = ImageWriter::write(tree->image(), settings, image, *control, {});
    {
        std::lock_guard lock(EngineLibraries::isoLock());
        tree.reset();
    }
    ASSERT_TRUE(written.ok) << written.error.toStdString();
    const qint64 block = firstBootBlock(image);
    ASSERT_GT(block, 16);
    const QByteArray table = TestSupport::readAll(image).mid(block * 2048 + 8, 12);
    ASSERT_EQ(table.size(), 12);
    EXPECT_EQ(qFromLittleEndian<quint32>(table.constData() + 4), quint32(block));
    EXPECT_EQ(qFromLittleEndian<quint32>(table.constData() + 8), 2048u);
    if (QStandardPaths::findExecutable(QStringLiteral("qemu-system-x86_64")).isEmpty())
        GTEST_SKIP() << "qemu-system-x86_64 is missing: the image was not booted";
    EXPECT_TRUE(bootUnderQemu(image).contains(BootWord));
}

// Taking the boot image out of a compilation leaves an image that no longer boots, rather than one that
// boots from a file nobody sees; taking out any other file keeps the boot records.
TEST_F(ImageBootMerge, RemovingTheBootImageMakesTheImageNotBootable)
{
    QTemporaryDir work;
    const QString disc = work.filePath(QStringLiteral("disc.iso"));
    QString why;
    if (!makeBootDisc(QStringLiteral("info-table"), disc, why))
        GTEST_SKIP() << why.toStdString();
    DriveLetters::bind(QLatin1Char('X'), disc);
    TDVDWriterPro2 engine(TDVDWriterPro2::Instance::DVDWriterPro21);
    engine.AddFolder(QStringLiteral("\\"), QStringLiteral("X:\\*.*"));

    EXPECT_TRUE(engine.RemoveItem(QStringLiteral("\\docs\\readme.txt")));
    const QString kept = work.filePath(QStringLiteral("kept.iso"));
    ASSERT_TRUE(engine.WriteImageFile(kept)) << engine.LastImageError().toStdString();
    EXPECT_EQ(bootEntries(kept), bootEntries(disc));

    EXPECT_TRUE(engine.RemoveItem(QStringLiteral("\\boot\\boot.bin")));
    const QString plain = work.filePath(QStringLiteral("plain.iso"));
    ASSERT_TRUE(engine.WriteImageFile(plain)) << engine.LastImageError().toStdString();
    EXPECT_EQ(bootEntries(plain), QStringList());
    EXPECT_EQ(QFileInfo(plain).size(), engine.ImageSizeBlocks() * 2048);
}

} // namespace
