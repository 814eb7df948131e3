#include "engine/image/ImageLayout.h"

#include "engine/Libraries.h"
#include "engine/image/SourceFileStream.h"

#include <cstdint>
#include <libisofs/libisofs.h>

#include <algorithm>
#include <cerrno>
#include <mutex>
#include <unistd.h>

namespace {

constexpr int64_t Block = 2048;
constexpr int64_t VolumeDescriptorEnd = 17 * Block;
constexpr int MaxContinuations = 64;
constexpr unsigned char DirectoryFlag = 0x02;
constexpr unsigned char MultiExtentFlag = 0x80;

uint32_t le32(const unsigned char *p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

bool readAt(int fd, int64_t offset, int64_t size, QByteArray &out)
{
    out.resize(size);
    int64_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(fd, out.data() + done, size_t(size - done), off_t(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

} // namespace

int64_t ImageLayout::needOf(const PendingDir &dir)
{
    return std::max(dir.need, dir.offset + (dir.bytes < 0 ? Block : dir.bytes));
}

struct ImageLayout::Record
{
    QByteArray name;
    int64_t offset = 0;
    int64_t size = 0;
    unsigned char flags = 0;
    bool relocated = false; // the real place of a deep folder, reached through its child link
    int64_t childLink = -1;
    int64_t checksumIndex = -1; // "isofs.cx"
    ChecksumArea area; // "isofs.ca" (the root's "." only)
};

namespace {

uint64_t bigEndian(const QByteArray &bytes)
{
    uint64_t value = 0;
    for (const char c : bytes)
        value = value << 8 | static_cast<unsigned char>(c);
    return value;
}

// The attributes of one AAIP "AL" entry: component records of a name, then of its value, in turn. An
// entry continued in the next one is not read (false): libisofs then writes that image itself.
bool readAttributes(const unsigned char *p, int entry, int64_t &checksumIndex,
                    ImageLayout::ChecksumArea &area)
{
    if (entry < 5 || p[3] != 1 || (p[4] & 0x01) != 0)
        return false;
    QByteArray parts[2];
    int part = 0;
    for (int at = 5; at < entry;) {
        if (at + 2 > entry || at + 2 + p[at + 1] > entry)
            return false;
        parts[part].append(reinterpret_cast<const char *>(p + at + 2), p[at + 1]);
        const bool continues = (p[at] & 0x01) != 0;
        at += 2 + p[at + 1];
        if (continues)
            continue;
        if (part == 1) {
            // 0x04 stands for "isofs." before the rest of the name.
            if (parts[0] ==
                QByteArray("\x04"
                           "cx",
                           3)) {
                if (parts[1].isEmpty() || parts[1].size() > 8)
                    return false;
                checksumIndex = int64_t(bigEndian(parts[1]));
            } else if (parts[0] ==
                       QByteArray("\x04"
                                  "ca",
                                  3)) {
                // START, END, COUNT and SIZE, each a length byte and big-endian bytes, then the type.
                const QByteArray &v = parts[1];
                int64_t numbers[4] = {};
                qsizetype i = 0;
                for (int64_t &number : numbers) {
                    if (i >= v.size() || v[i] < 1 || v[i] > 8 || i + 1 + v[i] > v.size())
                        return false;
                    number = int64_t(bigEndian(v.mid(i + 1, v[i])));
                    i += 1 + v[i];
                }
                if (numbers[0] != 0 || numbers[3] != 16 || v.mid(i) != "MD5")
                    return false;
                area.start = numbers[1] * Block;
                area.count = numbers[2];
            }
            parts[0].clear();
            parts[1].clear();
        }
        part = 1 - part;
    }
    return part == 0;
}

} // namespace

ImageLayout::ImageLayout(IsoImage *image, int64_t imageBytes, bool checksums)
    : m_image(image)
    , m_imageBytes(imageBytes)
    , m_checksums(checksums)
{ }

bool ImageLayout::fail()
{
    m_usable = false;
    m_pending.clear();
    m_pieces.clear();
    return false;
}

int64_t ImageLayout::nextNeed() const
{
    if (!m_haveVolume)
        return VolumeDescriptorEnd;
    if (!m_pending.empty()) {
        int64_t need = m_imageBytes;
        for (const PendingDir &dir : m_pending)
            need = std::min(need, needOf(dir));
        return need;
    }
    return m_pieces.empty() ? m_imageBytes : m_pieces.front().imageOffset;
}

bool ImageLayout::readVolumeDescriptor(int fd)
{
    QByteArray pvd;
    if (!readAt(fd, 16 * Block, Block, pvd))
        return false;
    const auto *p = reinterpret_cast<const unsigned char *>(pvd.constData());
    if (p[0] != 1 || pvd.mid(1, 5) != "CD001" || (p[128] | p[129] << 8) != Block)
        return false;
    const unsigned char *root = p + 156;
    m_pending.push_back(
        {int64_t(le32(root + 2)) * Block, int64_t(le32(root + 10)), iso_image_get_root(m_image)});
    m_haveVolume = true;
    return true;
}

QHash<QByteArray, void *> ImageLayout::childrenOf(IsoDir *dir) const
{
    QHash<QByteArray, void *> children;
    std::lock_guard lock(EngineLibraries::isoLock());
    children.reserve(iso_dir_get_children_count(dir));
    IsoDirIter *iter = nullptr;
    if (iso_dir_get_children(dir, &iter) != 1)
        return children;
    IsoNode *node = nullptr;
    while (iso_dir_iter_next(iter, &node) == 1)
        children.insert(QByteArray(iso_node_get_name(node)), node);
    iso_dir_iter_free(iter);
    return children;
}

// One directory record with its Rock Ridge entries, following continuation areas.
bool ImageLayout::readRecord(int fd, int64_t written, const unsigned char *data, int length, Record &record,
                             int64_t &continuationEnd) const
{
    if (length < 34 || data[1] != 0)
        return false;
    record.offset = int64_t(le32(data + 2)) * Block;
    record.size = le32(data + 10);
    record.flags = data[25];
    const int nameLength = data[32];
    int at = 33 + nameLength + (nameLength % 2 == 0 ? 1 : 0);
    if (at > length)
        return false;
    const unsigned char *p = data + at;
    int left = length - at;
    QByteArray continuation;
    for (int hops = 0;; ++hops) {
        int64_t ceOffset = -1;
        int64_t ceLength = 0;
        while (left >= 4) {
            const int entry = p[2];
            if (entry < 4 || entry > left)
                return false;
            if (p[0] == 'N' && p[1] == 'M') {
                if (entry < 5)
                    return false;
                if ((p[4] & 0x06) == 0)
                    record.name.append(reinterpret_cast<const char *>(p + 5), entry - 5);
            } else if (p[0] == 'C' && p[1] == 'E') {
                if (entry < 28)
                    return false;
                ceOffset = int64_t(le32(p + 4)) * Block + le32(p + 12);
                ceLength = le32(p + 20);
            } else if (p[0] == 'C' && p[1] == 'L') {
                if (entry < 12)
                    return false;
                record.childLink = int64_t(le32(p + 4)) * Block;
            } else if (p[0] == 'R' && p[1] == 'E') {
                record.relocated = true;
            } else if (p[0] == 'A' && p[1] == 'L' && m_checksums) {
                if (!readAttributes(p, entry, record.checksumIndex, record.area))
                    return false;
            } else if (p[0] == 'S' && p[1] == 'T') {
                break;
            }
            p += entry;
            left -= entry;
        }
        if (ceOffset < 0)
            return true;
        if (hops == MaxContinuations || ceOffset + ceLength > m_imageBytes)
            return false;
        if (ceOffset + ceLength > written) {
            continuationEnd = ceOffset + ceLength;
            return false;
        }
        if (!readAt(fd, ceOffset, ceLength, continuation))
            return false;
        p = reinterpret_cast<const unsigned char *>(continuation.constData());
        left = int(ceLength);
    }
}

bool ImageLayout::readDirectory(int fd, int64_t written, const PendingDir &dir, bool &retry)
{
    QByteArray bytes;
    int64_t size = dir.bytes;
    if (size < 0) {
        // A relocated folder: its "." record holds its size.
        if (!readAt(fd, dir.offset, 34, bytes))
            return false;
        size = le32(reinterpret_cast<const unsigned char *>(bytes.constData()) + 10);
        m_pending[size_t(&dir - m_pending.data())].bytes = size;
    }
    if (size <= 0 || size % Block != 0 || dir.offset + size > m_imageBytes)
        return false;
    if (dir.offset + size > written) {
        m_pending[size_t(&dir - m_pending.data())].need = dir.offset + size;
        retry = true;
        return false;
    }
    if (!readAt(fd, dir.offset, size, bytes))
        return false;
    const auto *data = reinterpret_cast<const unsigned char *>(bytes.constData());
    const QHash<QByteArray, void *> children = childrenOf(dir.node);
    std::vector<PendingDir> dirs;
    std::vector<Piece> pieces;
    std::vector<int64_t> emptyFiles;
    QByteArray runName; // a file of several sections (4 GiB and more) has one record per section
    int64_t runOffset = 0;
    int index = 0;
    for (int64_t at = 0; at < size;) {
        const int length = data[at];
        if (length == 0) {
            at = (at / Block + 1) * Block;
            continue;
        }
        if (at + length > size || (at % Block) + length > Block)
            return false;
        const unsigned char *rec = data + at;
        at += length;
        if (index++ < 2) {
            // "." and "..": the root's "." says whether there is Rock Ridge at all.
            if (index == 1 && m_suspSkip < 0) {
                const unsigned char *su = rec + 34;
                if (length < 34 + 7 || su[0] != 'S' || su[1] != 'P' || su[4] != 0xbe || su[5] != 0xef)
                    return false;
                m_suspSkip = su[6];
                if (m_suspSkip != 0)
                    return false;
                if (m_checksums) {
                    // The root's "." carries where the checksums go.
                    Record root;
                    int64_t continuationEnd = 0;
                    if (!readRecord(fd, written, rec, length, root, continuationEnd)) {
                        if (continuationEnd > 0) {
                            m_suspSkip = -1;
                            m_pending[size_t(&dir - m_pending.data())].need = continuationEnd;
                            retry = true;
                        }
                        return false;
                    }
                    if (root.area.start <= 0)
                        return false;
                    m_area = root.area;
                }
            }
            continue;
        }
        Record record;
        int64_t continuationEnd = 0;
        if (!readRecord(fd, written, rec, length, record, continuationEnd)) {
            if (continuationEnd > 0) {
                m_pending[size_t(&dir - m_pending.data())].need = continuationEnd;
                retry = true;
            }
            return false;
        }
        if (record.name.isEmpty() && !runName.isEmpty())
            record.name = runName;
        if (record.relocated)
            continue;
        const auto found = children.constFind(record.name);
        if (found == children.constEnd())
            return false;
        IsoNode *node = static_cast<IsoNode *>(found.value());
        const bool isDir = (record.flags & DirectoryFlag) != 0 || record.childLink >= 0;
        if (isDir) {
            if (iso_node_get_type(node) != LIBISO_DIR)
                return false;
            if (record.childLink >= 0)
                dirs.push_back({record.childLink, -1, reinterpret_cast<IsoDir *>(node)});
            else
                dirs.push_back({record.offset, record.size, reinterpret_cast<IsoDir *>(node)});
            continue;
        }
        const int64_t sourceOffset = record.name == runName ? runOffset : 0;
        // A file in several sections would need its checksum over all of them: libisofs does that.
        if (m_checksums && ((record.flags & MultiExtentFlag) || sourceOffset > 0))
            return false;
        if (m_checksums && record.size == 0) {
            if (record.checksumIndex >= 0)
                emptyFiles.push_back(record.checksumIndex);
            continue;
        }
        if (record.flags & MultiExtentFlag) {
            runName = record.name;
            runOffset = sourceOffset + record.size;
        } else {
            runName.clear();
        }
        if (record.size == 0)
            continue;
        if (iso_node_get_type(node) != LIBISO_FILE)
            return false;
        IsoStream *stream = iso_file_get_stream(reinterpret_cast<IsoFile *>(node));
        // Only our own local files can be copied around libisofs; anything else keeps its path.
        if (!SourceFileStream::isSourceFileStream(stream) ||
            sourceOffset + record.size > int64_t(iso_stream_get_size(stream)) ||
            record.offset + record.size > m_imageBytes)
            return false;
        pieces.push_back({record.offset, record.size, sourceOffset, stream, record.checksumIndex});
    }
    m_pieces.insert(m_pieces.end(), pieces.begin(), pieces.end());
    m_emptyFiles.insert(m_emptyFiles.end(), emptyFiles.begin(), emptyFiles.end());
    m_pending.insert(m_pending.end(), dirs.begin(), dirs.end());
    return true;
}

bool ImageLayout::advance(int fd, int64_t written)
{
    if (!m_usable)
        return false;
    if (!m_haveVolume) {
        if (written < VolumeDescriptorEnd)
            return true;
        if (!readVolumeDescriptor(fd))
            return fail();
    }
    bool progressed = true;
    while (progressed && !m_pending.empty()) {
        progressed = false;
        for (size_t i = 0; i < m_pending.size();) {
            if (needOf(m_pending[i]) > written) {
                ++i;
                continue;
            }
            bool retry = false;
            if (readDirectory(fd, written, m_pending[i], retry)) {
                m_pending.erase(m_pending.begin() + std::ptrdiff_t(i));
                progressed = true;
            } else if (retry) {
                ++i;
            } else {
                return fail();
            }
        }
    }
    if (m_pending.empty() && !m_sorted) {
        m_sorted = true;
        std::sort(m_pieces.begin(), m_pieces.end(),
                  [](const Piece &a, const Piece &b) { return a.imageOffset < b.imageOffset; });
    }
    return true;
}

bool ImageLayout::plan(int64_t from, std::vector<Piece> &pieces) const
{
    pieces.clear();
    if (!m_usable || !m_haveVolume || !m_pending.empty())
        return false;
    int64_t cursor = from;
    const Piece *last = nullptr;
    for (const Piece &piece : m_pieces) {
        if (last && piece.imageOffset == last->imageOffset) {
            // Two names of one file share its data.
            if (piece.length != last->length || piece.stream != last->stream ||
                piece.sourceOffset != last->sourceOffset)
                return false;
            continue;
        }
        last = &piece;
        const int64_t end = piece.imageOffset + piece.length;
        const int64_t blockEnd = (end + Block - 1) / Block * Block;
        if (blockEnd <= cursor)
            continue;
        if (piece.imageOffset > cursor)
            return false; // something between files that only libisofs knows
        const int64_t skip = cursor - piece.imageOffset;
        if (skip < piece.length)
            pieces.push_back({cursor, piece.length - skip, piece.sourceOffset + skip, piece.stream});
        cursor = blockEnd;
    }
    return cursor == m_imageBytes;
}

bool ImageLayout::planWithChecksums(int64_t from, std::vector<Piece> &pieces,
                                    std::vector<ChecksumAlias> &aliases,
                                    std::vector<int64_t> &emptyFiles) const
{
    pieces.clear();
    aliases.clear();
    emptyFiles = m_emptyFiles;
    if (!m_checksums || !m_usable || !m_haveVolume || !m_pending.empty() || m_area.start <= 0 ||
        m_area.count < 2 || m_area.start + m_area.arrayBytes() + Block != m_imageBytes)
        return false;
    // Every entry between the session's (0) and the array's own (count - 1) belongs to one file.
    std::vector<char> seen(size_t(m_area.count), 0);
    auto claim = [&seen, this](int64_t index) {
        if (index < 1 || index >= m_area.count - 1 || seen[size_t(index)])
            return false;
        seen[size_t(index)] = 1;
        return true;
    };
    for (const int64_t index : m_emptyFiles) {
        if (!claim(index))
            return false;
    }
    int64_t cursor = from;
    const Piece *last = nullptr;
    for (const Piece &piece : m_pieces) {
        if (last && piece.imageOffset == last->imageOffset) {
            if (piece.length != last->length || piece.stream != last->stream ||
                piece.sourceOffset != last->sourceOffset)
                return false;
            if (piece.checksumIndex != last->checksumIndex) {
                if (!claim(piece.checksumIndex))
                    return false;
                aliases.push_back({piece.checksumIndex, last->checksumIndex});
            }
            continue;
        }
        last = &piece;
        // The whole of every file passes here, so that its checksum covers it.
        if (piece.imageOffset != cursor || !claim(piece.checksumIndex))
            return false;
        pieces.push_back(piece);
        cursor = (piece.imageOffset + piece.length + Block - 1) / Block * Block;
    }
    if (cursor != m_area.start)
        return false;
    for (int64_t index = 1; index < m_area.count - 1; ++index) {
        if (!seen[size_t(index)])
            return false;
    }
    return true;
}
