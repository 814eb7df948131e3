#include "engine/image/ImportGuard.h"

#include "engine/drives/IsoMessages.h"
#include "engine/drives/LibraryMessages.h"

#include <cstdint>
#include <libisofs/libisofs.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>

namespace {

// libisofs's report callback carries no context of ours; a reading runs on one thread, start to end.
thread_local ImportGuard *t_guard = nullptr;

uint32_t littleEndian32(const uint8_t *p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// The first block of a folder's extent starts with the folder's own "." record, which names that
// extent. Nothing else on a disc looks like this, so a folder is recognised by its block alone,
// whatever else libisofs reads in between (continuation areas, relocated folders).
bool isFolderStart(uint32_t lba, const uint8_t *block)
{
    constexpr uint8_t DirectoryFlag = 0x02;
    return block[0] >= 34 && (block[25] & DirectoryFlag) && block[32] == 1 && block[33] == 0 &&
        littleEndian32(block + 2) == lba;
}

QString discPath(const char *path)
{
    QString text = QString::fromUtf8(path);
    return text.replace(QLatin1Char('/'), QLatin1Char('\\'));
}

} // namespace

ImportGuard::ImportGuard(const std::atomic<bool> &cancel)
    : m_cancel(cancel)
{ }

ImportGuard::~ImportGuard()
{
    if (t_guard == this)
        t_guard = nullptr;
}

void ImportGuard::attach(IsoImage *disc)
{
    m_disc = disc;
    m_msgId = iso_image_get_msg_id(disc);
    // The root is the first folder libisofs opens.
    m_extents.clear();
    m_pendingDepth = 0;
    m_pendingPath = QStringLiteral("\\");
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
    if (cancelled() || !m_loop.isEmpty())
        return 0;
    struct stat st
    {
    };
    if (iso_file_source_lstat(source, &st) < 0 || !S_ISDIR(st.st_mode)) {
        m_pendingDepth = -1;
        return 1;
    }
    char *path = iso_file_source_get_path(source);
    if (!path)
        return static_cast<int>(ISO_OUT_OF_MEM);
    m_pendingDepth = int(std::count(path, path + std::strlen(path), '/'));
    m_pendingPath = discPath(path);
    std::free(path);
    return 1;
}

bool ImportGuard::blockRead(uint32_t lba, const uint8_t *block)
{
    if (cancelled() || !m_loop.isEmpty())
        return false;
    if (m_pendingDepth < 0 || !isFolderStart(lba, block))
        return true;
    // The folders above this one are the first `depth` entries: deeper ones belonged to siblings.
    m_extents.resize(std::min(m_extents.size(), size_t(m_pendingDepth)));
    if (std::find(m_extents.begin(), m_extents.end(), lba) != m_extents.end()) {
        m_loop = m_pendingPath;
        return false;
    }
    m_extents.push_back(lba);
    m_pendingDepth = -1;
    return true;
}

void ImportGuard::collectMessages()
{
    const int sorry = Drives::severityRank(QStringLiteral("SORRY"));
    bool causeTaken = false;
    int code = 0;
    int imageId = 0;
    char text[ISO_MSGS_MESSAGE_LEN] = {};
    char severity[80] = {};
    while (iso_obtain_msgs(const_cast<char *>("ALL"), &code, &imageId, text, severity) == 1) {
        Drives::LibraryMessage message {code, QString::fromLatin1(severity), 0, QString::fromLocal8Bit(text)};
        message.library = QStringLiteral("libisofs");
        if (!Drives::isDebug(message))
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
    if (!m_loop.isEmpty())
        return QStringLiteral("the folder %1 leads back into a folder that holds it").arg(m_loop);
    return m_damage;
}
