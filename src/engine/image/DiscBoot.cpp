#include "engine/image/DiscBoot.h"

#include "engine/image/ImportedFileStream.h"

#include <cstdint>
#include <libisofs/libisofs.h>

#include <algorithm>
#include <cstdlib>
#include <utility>

namespace {

constexpr int SystemAreaBytes = 32768;
constexpr int MbrBytes = 512;
constexpr int PartitionTableStart = 446;
constexpr int PartitionTableEnd = 510;
constexpr int HiddenEverywhere = LIBISO_HIDE_ON_RR | LIBISO_HIDE_ON_JOLIET | LIBISO_HIDE_ON_1999 |
    LIBISO_HIDE_ON_HFSPLUS | LIBISO_HIDE_ON_FAT;

// Where libisofs lays the MBR out anew for the image it writes (ISO_SYSTEM_AREA options): bit 0 a
// partition over the whole image, bit 1 an ISOLINUX isohybrid MBR; the type bits 2-7 are 0 for an MBR.
constexpr int ProtectiveLabel = 1 << 0;
constexpr int IsohybridMbr = 1 << 1;
constexpr int TypeMask = 0x3f << 2;

bool allZero(const QByteArray &bytes, int from, int to)
{
    for (int i = from; i < to; ++i) {
        if (bytes[i] != '\0')
            return false;
    }
    return true;
}

QString pathIn(IsoImage *image, IsoNode *node)
{
    QStringList parts;
    const auto *root = reinterpret_cast<IsoNode *>(iso_image_get_root(image));
    while (node != root) {
        IsoDir *parent = iso_node_get_parent(node);
        if (!parent)
            return {};
        parts.prepend(QString::fromUtf8(iso_node_get_name(node)));
        node = reinterpret_cast<IsoNode *>(parent);
    }
    return QLatin1Char('/') + parts.join(QLatin1Char('/'));
}

bool exists(IsoImage *image, const QString &path)
{
    IsoNode *node = nullptr;
    return iso_tree_path_to_node(image, path.toUtf8().constData(), &node) == 1 && node;
}

// `folder`/`base`, or with a number added when that name is taken.
QString freePath(IsoImage *image, const QString &folder, const QString &base)
{
    QString path = folder + QLatin1Char('/') + base;
    for (int n = 1; exists(image, path); ++n)
        path = folder + QLatin1Char('/') + base + QLatin1Char('.') + QString::number(n);
    return path;
}

// The options libisofs's own analysis of the area reports, or -1 when it names none.
int reportedOptions(IsoImage *disc, QString &summary)
{
    char **lines = nullptr;
    int count = 0;
    int options = -1;
    if (iso_image_report_system_area(disc, &lines, &count, 0) != 1 || !lines)
        return options;
    for (int i = 0; i < count; ++i) {
        const QString line = QString::fromLatin1(lines[i]);
        const qsizetype colon = line.indexOf(QLatin1Char(':'));
        if (colon < 0)
            continue;
        const QString key = line.left(colon).trimmed();
        const QString value = line.mid(colon + 1).trimmed();
        bool ok = false;
        if (key == QLatin1String("System area options")) {
            const int parsed = value.toInt(&ok, 0);
            if (ok)
                options = parsed;
        } else if (key == QLatin1String("System area summary")) {
            summary = value;
        }
    }
    iso_image_report_system_area(disc, &lines, &count, 1 << 15);
    return options;
}

} // namespace

DiscBoot::DiscBoot(IsoImage *disc, const QString &drive)
    : m_drive(drive)
{
    learnSystemArea(disc);
    learnEntries(disc);
}

DiscBoot::~DiscBoot()
{
    for (const Entry &entry : m_entries) {
        if (entry.hiddenFile)
            iso_node_unref(reinterpret_cast<IsoNode *>(entry.hiddenFile));
    }
}

QString DiscBoot::note(const QString &text) const
{
    return QStringLiteral("The disc in drive %1 %2").arg(m_drive, text);
}

void DiscBoot::learnSystemArea(IsoImage *disc)
{
    QByteArray data(SystemAreaBytes, '\0');
    int loadedOptions = 0;
    if (iso_image_get_system_area(disc, data.data(), &loadedOptions, 0) != 1 ||
        allZero(data, 0, SystemAreaBytes))
        return;
    QString summary;
    const int options = reportedOptions(disc, summary);
    const bool mbrOnly = allZero(data, MbrBytes, SystemAreaBytes);
    if (options >= 0 && (options & TypeMask) == 0 && (options & (ProtectiveLabel | IsohybridMbr))) {
        // libisofs writes this MBR's partition table for the copy's own size and places.
        m_area = SystemArea {data, options};
        m_haveArea = true;
        if (!mbrOnly) {
            // A GPT or Apple partition map behind the MBR names the disc's places and size; libisofs
            // would write it unchanged, pointing into the copy's files.
            m_area.data.replace(MbrBytes, SystemAreaBytes - MbrBytes,
                                QByteArray(SystemAreaBytes - MbrBytes, '\0'));
            m_notes << note(
                QStringLiteral("its partition tables after the MBR (%1) cannot be laid out again "
                               "for the copy and were left out; the MBR was kept.")
                    .arg(summary.isEmpty() ? QStringLiteral("GPT, Apple partition map") : summary));
        }
        return;
    }
    if ((options < 0 || (options & TypeMask) == 0) && mbrOnly &&
        allZero(data, PartitionTableStart, PartitionTableEnd)) {
        // Boot code without partitions names no place on the disc: it is kept as it is.
        m_area = SystemArea {data, 0};
        m_haveArea = true;
        return;
    }
    m_notes << note(
        QStringLiteral("its system area (the first 32 KB%1) cannot be laid out again for the copy "
                       "and was left out.")
            .arg(summary.isEmpty() ? QString() : QStringLiteral(": ") + summary));
}

void DiscBoot::learnEntries(IsoImage *disc)
{
    // libisofs 1.5.4 reads the catalogue of an image without one from a null pointer: ask first.
    if (iso_image_get_boot_image(disc, nullptr, nullptr, nullptr) != 1)
        return;
    IsoBoot *catalog = nullptr;
    uint32_t catalogBlock = 0;
    char *content = nullptr;
    off_t contentBytes = 0;
    if (iso_image_get_bootcat(disc, &catalog, &catalogBlock, &content, &contentBytes) != 1)
        return;
    std::free(content);
    int count = 0;
    ElToritoBootImage **boots = nullptr;
    IsoFile **files = nullptr;
    if (iso_image_get_all_boot_imgs(disc, &count, &boots, &files, 0) != 1) {
        std::free(boots);
        std::free(files);
        return;
    }
    for (int i = 0; i < count; ++i) {
        ElToritoBootImage *boot = boots[i];
        Entry entry;
        enum eltorito_boot_media_type type = ELTORITO_NO_EMUL;
        el_torito_get_boot_media_type(boot, &type);
        entry.mediaType = type;
        entry.platform = el_torito_get_boot_platform_id(boot);
        entry.loadSegment = el_torito_get_load_seg(boot);
        entry.loadSize = el_torito_get_load_size(boot);
        entry.bootable = el_torito_get_bootable(boot) == 1;
        entry.isolinuxOptions = std::max(0, el_torito_get_isolinux_options(boot, 0));
        // The tables libisofs finds in the image hold the disc's block addresses: patched again, they
        // point at the copy's.
        if (el_torito_seems_boot_info_table(boot, 0) == 1)
            entry.isolinuxOptions |= 1;
        if (el_torito_seems_boot_info_table(boot, 1) == 1)
            entry.isolinuxOptions |= 1 << 9;
        el_torito_get_id_string(boot, entry.idString.data());
        el_torito_get_selection_crit(boot, entry.selection.data());
        IsoNode *file = reinterpret_cast<IsoNode *>(files[i]);
        if (!file) {
            entry.inFile = false;
        } else {
            entry.path = pathIn(disc, file);
            if (entry.path.isEmpty()) {
                iso_node_ref(file);
                entry.hiddenFile = files[i];
            }
        }
        m_entries.push_back(entry);
    }
    std::free(boots);
    std::free(files);
    auto *catalogNode = reinterpret_cast<IsoNode *>(catalog);
    if (catalogNode)
        m_catalogPath = pathIn(disc, catalogNode);
    m_catalogHidden = m_catalogPath.isEmpty() ? HiddenEverywhere : iso_node_get_hidden(catalogNode);
}

void DiscBoot::apply(ImageTree &tree, const QStringList &dest, const std::shared_ptr<WriteControl> &control)
{
    if (m_haveArea) {
        if (tree.systemArea().data.isEmpty()) {
            tree.setSystemArea(m_area);
            tree.touch();
        } else if (tree.systemArea().data != m_area.data) {
            m_notes << note(QStringLiteral("the image already has the system area of another disc; this "
                                           "disc's was left out."));
        }
    }
    if (!m_entries.empty())
        recreate(tree, dest, control);
    for (const QString &text : std::as_const(m_notes))
        tree.addNote(text);
}

void DiscBoot::recreate(ImageTree &tree, const QStringList &dest,
                        const std::shared_ptr<WriteControl> &control)
{
    IsoImage *image = tree.image();
    if (iso_image_get_boot_image(image, nullptr, nullptr, nullptr) == 1) {
        m_notes << note(QStringLiteral("the image already boots another disc's way; this disc's boot records "
                                       "were left out."));
        return;
    }
    const QString destPath = dest.isEmpty() ? QString() : QLatin1Char('/') + dest.join(QLatin1Char('/'));
    auto *destNode = tree.find(dest);
    if (!destNode || iso_node_get_type(destNode) != LIBISO_DIR)
        return;
    auto *destDir = reinterpret_cast<IsoDir *>(destNode);

    std::vector<std::pair<const Entry *, QString>> placed;
    for (size_t i = 0; i < m_entries.size(); ++i) {
        const Entry &entry = m_entries[i];
        const QString number = QString::number(i + 1);
        if (!entry.inFile) {
            m_notes << note(QStringLiteral("boot entry %1 lies outside its file system (in a partition "
                                           "after it) and was left out; the copy does not boot that way.")
                                .arg(number));
            continue;
        }
        QString path = destPath + entry.path;
        if (entry.hiddenFile) {
            // An image the disc hides from its folders stays hidden in the copy's.
            path = freePath(image, destPath, QStringLiteral("boot-image-%1.img").arg(number));
            IsoStream *stream =
                ImportedFileStream::wrap(iso_file_get_stream(entry.hiddenFile), control,
                                         m_drive + QStringLiteral("(boot image %1)").arg(number));
            IsoFile *file = nullptr;
            const QByteArray name = path.mid(destPath.size() + 1).toUtf8();
            if (!stream || iso_tree_add_new_file(destDir, name.constData(), stream, &file) < 0) {
                if (stream)
                    iso_stream_unref(stream);
                m_notes << note(
                    QStringLiteral("boot entry %1 could not be kept: out of memory.").arg(number));
                continue;
            }
            iso_node_set_hidden(reinterpret_cast<IsoNode *>(file), HiddenEverywhere | LIBISO_HIDE_BUT_WRITE);
            tree.countAdded(reinterpret_cast<IsoNode *>(file));
        }
        IsoNode *node = nullptr;
        if (iso_tree_path_to_node(image, path.toUtf8().constData(), &node) != 1 || !node ||
            iso_node_get_type(node) != LIBISO_FILE) {
            m_notes << note(
                QStringLiteral("boot entry %1 could not be kept: its image %2 is not in the copy.")
                    .arg(number, path));
            continue;
        }
        placed.emplace_back(&entry, path);
    }
    if (placed.empty())
        return;

    const QString catalogPath = m_catalogPath.isEmpty()
        ? freePath(image, destPath, QStringLiteral("boot.catalog"))
        : freePath(image, destPath + m_catalogPath.left(m_catalogPath.lastIndexOf(QLatin1Char('/'))),
                   m_catalogPath.mid(m_catalogPath.lastIndexOf(QLatin1Char('/')) + 1));
    for (size_t i = 0; i < placed.size(); ++i) {
        const Entry &entry = *placed[i].first;
        const QByteArray path = placed[i].second.toUtf8();
        const auto type = static_cast<enum eltorito_boot_media_type>(entry.mediaType);
        ElToritoBootImage *boot = nullptr;
        const int ret = i == 0
            ? iso_image_set_boot_image(image, path.constData(), type, catalogPath.toUtf8().constData(), &boot)
            : iso_image_add_boot_image(image, path.constData(), type, 0, &boot);
        if (ret < 0) {
            m_notes << note(QStringLiteral("boot entry %1 could not be kept: %2")
                                .arg(placed[i].first - m_entries.data() + 1)
                                .arg(isoErrorText(ret)));
            if (i == 0)
                return;
            continue;
        }
        el_torito_set_boot_platform_id(boot, static_cast<uint8_t>(entry.platform));
        el_torito_set_load_seg(boot, static_cast<short>(entry.loadSegment));
        el_torito_set_load_size(boot, static_cast<short>(entry.loadSize));
        if (!entry.bootable)
            el_torito_set_no_bootable(boot);
        el_torito_set_isolinux_options(boot, entry.isolinuxOptions, 0);
        std::array<uint8_t, 28> id = entry.idString;
        std::array<uint8_t, 20> selection = entry.selection;
        el_torito_set_id_string(boot, id.data());
        el_torito_set_selection_crit(boot, selection.data());
    }
    if (m_catalogHidden != 0)
        iso_image_set_boot_catalog_hidden(image, m_catalogHidden);
    tree.touch();
}
