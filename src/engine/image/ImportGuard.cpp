#include "engine/image/ImportGuard.h"

#include "engine/drives/IsoMessages.h"
#include "engine/drives/LibraryMessages.h"

#include <cstdint>
#include <libisofs/libisofs.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <sys/stat.h>

namespace {

// libisofs's report callback carries no context of ours; a reading runs on one thread, start to end.
thread_local ImportGuard *t_guard = nullptr;

uint32_t littleEndian32(const uint8_t *p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

constexpr uint32_t BlockBytes = 2048;
constexpr uint32_t FirstDescriptor = 16;
constexpr int64_t SmallestRecord = 34;

// A primary or supplementary (Joliet) volume descriptor: its root folder is read from its record.
bool isVolumeDescriptor(uint32_t lba, const uint8_t *block)
{
    return lba >= FirstDescriptor && (block[0] == 1 || block[0] == 2) &&
        std::memcmp(block + 1, "CD001", 5) == 0;
}

uint32_t blocksOf(int64_t bytes)
{
    const int64_t blocks = (std::max<int64_t>(bytes, 1) + BlockBytes - 1) / BlockBytes;
    return uint32_t(std::min<int64_t>(blocks, UINT32_MAX));
}

bool holds(const QString &outer, const QString &inner)
{
    return outer == QLatin1String("\\") || inner.startsWith(outer + QLatin1Char('\\'));
}

QString discPath(const char *path)
{
    QString text = QString::fromUtf8(path);
    return text.replace(QLatin1Char('/'), QLatin1Char('\\'));
}

} // namespace

ImportGuard::ImportGuard(const std::atomic<bool> &cancel, int64_t discBytes)
    : m_cancel(cancel)
    , m_entryLimit(entryLimit(discBytes))
{ }

ImportGuard::~ImportGuard()
{
    if (t_guard == this)
        t_guard = nullptr;
}

int64_t ImportGuard::entryLimit(int64_t discBytes)
{
    // Unknown size: as many as the largest disc (a 128 GB BD-XL) could hold.
    constexpr int64_t LargestDisc = int64_t(128) << 30;
    return (discBytes > 0 ? discBytes : LargestDisc) / SmallestRecord + 1;
}

void ImportGuard::attach(IsoImage *disc)
{
    m_disc = disc;
    m_msgId = iso_image_get_msg_id(disc);
    m_folders.clear();
    m_entries = 0;
    m_pending = false;
    t_guard = this;
    Drives::queueIsoMessages();
    iso_tree_set_report_callback(disc, &ImportGuard::reportItem);
}

int ImportGuard::reportItem(IsoImage *, IsoFileSource *source)
{
    return t_guard ? t_guard->item(source) : 1;
}

int ImportGuard::item(IsoFileSource *source)
{
    // Everything left is passed over: the reading ends at once, and the guard's verdict decides.
    if (stopped())
        return 0;
    if (++m_entries > m_entryLimit) {
        m_refusal =
            QStringLiteral("it lists more than the %1 entries a disc of its size can hold").arg(m_entryLimit);
        return 0;
    }
    struct stat st
    {
    };
    if (iso_file_source_lstat(source, &st) < 0 || !S_ISDIR(st.st_mode)) {
        m_pending = false;
        return 1;
    }
    char *path = iso_file_source_get_path(source);
    if (!path)
        return static_cast<int>(ISO_OUT_OF_MEM);
    // libisofs opens a folder right after announcing it: the next block it reads is the folder's first.
    m_pending = true;
    m_pendingBlocks = blocksOf(int64_t(st.st_size));
    m_pendingPath = discPath(path);
    std::free(path);
    return 1;
}

bool ImportGuard::blockRead(uint32_t lba, const uint8_t *block)
{
    if (stopped())
        return false;
    if (!m_pending) {
        if (isVolumeDescriptor(lba, block)) {
            // The root's records, named by the descriptor's root record (at byte 156).
            const uint8_t *root = block + 156;
            m_folders.emplace(littleEndian32(root + 2),
                              Folder {littleEndian32(root + 2) + blocksOf(littleEndian32(root + 10)),
                                      QStringLiteral("\\")});
        }
        return true;
    }
    m_pending = false;
    const uint32_t end = lba + std::min(m_pendingBlocks, UINT32_MAX - lba);
    auto next = m_folders.upper_bound(lba);
    const Folder *other = nullptr;
    if (next != m_folders.begin() && std::prev(next)->second.end > lba)
        other = &std::prev(next)->second;
    else if (next != m_folders.end() && next->first < end)
        other = &next->second;
    if (other) {
        m_refusal = holds(other->path, m_pendingPath)
            ? QStringLiteral("the folder %1 leads back into a folder that holds it").arg(m_pendingPath)
            : QStringLiteral("the folders %1 and %2 share their records").arg(other->path, m_pendingPath);
        return false;
    }
    m_folders.emplace(lba, Folder {end, m_pendingPath});
    return true;
}

void ImportGuard::collectMessages()
{
    const int sorry = Drives::severityRank(QStringLiteral("SORRY"));
    const int warning = Drives::severityRank(QStringLiteral("WARNING"));
    bool causeTaken = false;
    int code = 0;
    int imageId = 0;
    char text[ISO_MSGS_MESSAGE_LEN] = {};
    char severity[80] = {};
    while (iso_obtain_msgs(const_cast<char *>("ALL"), &code, &imageId, text, severity) == 1) {
        Drives::LibraryMessage message {code, QString::fromLatin1(severity), 0, QString::fromLocal8Bit(text)};
        message.library = QStringLiteral("libisofs");
        // Notes ("extension AAIP found, but loading is not enabled") say nothing a user can act on.
        // After a refusal libisofs only tells what it then left out.
        if (Drives::severityRank(message.severity) >= warning && !stopped())
            Drives::logMessage(message);
        if (!m_disc || imageId != m_msgId)
            continue;
        const QString said = message.text.trimmed();
        if (m_damage.isEmpty() && Drives::severityRank(message.severity) >= sorry) {
            m_damage = said;
        } else if (!m_damage.isEmpty() && !causeTaken && said.startsWith(QLatin1String("> Caused by:"))) {
            // libisofs gives the reason behind a failure in a note of its own.
            m_damage += QStringLiteral(" (%1)").arg(said.mid(2));
            causeTaken = true;
        }
    }
}

QString ImportGuard::problem() const
{
    return m_refusal.isEmpty() ? m_damage : m_refusal;
}
