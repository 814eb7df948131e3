#pragma once

#include <QByteArray>
#include <QHash>

#include <cstdint>
#include <vector>

struct Iso_Image;
struct Iso_Dir;
struct iso_stream;

// Where each file's bytes lie in an image that is being written, learnt from the directory records
// libisofs writes before the file data (ISO 9660 records for the places, Rock Ridge names to find
// the files in the compilation). Once every directory is known and the rest of the image is nothing
// but file data of local files, the writer can copy that data itself instead of letting it pass
// through libisofs.
class ImageLayout final
{
public:
    // One section of one file: its bytes [sourceOffset, sourceOffset + length) lie at imageOffset.
    struct Piece
    {
        int64_t imageOffset = 0;
        int64_t length = 0;
        int64_t sourceOffset = 0;
        iso_stream *stream = nullptr; // a SourceFileStream of the compilation
        int64_t checksumIndex = -1; // the file's entry in the checksum array ("isofs.cx"), if recorded
    };

    // Where libisofs records the MD5s ("isofs.ca" of the root): the array of `count` entries at byte
    // `start`, which is where the checksummed range ends; the session tag follows the array.
    struct ChecksumArea
    {
        int64_t start = -1;
        int64_t count = 0;
        int64_t arrayBytes() const { return (count * 16 + 2047) / 2048 * 2048; }
    };
    // Two names of one file: the second index gets the MD5 of the first.
    struct ChecksumAlias
    {
        int64_t index = 0;
        int64_t sameAs = 0;
    };

    // `checksums`: the image records MD5s, whose places the layout learns as well.
    ImageLayout(Iso_Image *image, int64_t imageBytes, bool checksums = false);

    // Learns what the first `written` bytes of `fd` (the image file so far) tell. False once the layout
    // cannot be learnt; the image is then written the usual way.
    bool advance(int fd, int64_t written);
    bool usable() const { return m_usable; }
    bool complete() const { return m_usable && m_haveVolume && m_pending.empty(); }
    // How far the image has to be written for the next step: the next directory while some are
    // unknown, then the start of the file data.
    int64_t nextNeed() const;
    // The copies that complete the image from `from` on. False when something there is not file data
    // of a local file (or lies between files), which libisofs must then produce.
    bool plan(int64_t from, std::vector<Piece> &pieces) const;
    // With checksums: the copies up to the checksum area (which the writer then fills), the second
    // names and the empty files (whose checksum is that of nothing). False when not every entry of the
    // array is accounted for, or the copies would not start at `from`: libisofs then writes it all.
    bool planWithChecksums(int64_t from, std::vector<Piece> &pieces, std::vector<ChecksumAlias> &aliases,
                           std::vector<int64_t> &emptyFiles) const;
    bool checksums() const { return m_checksums; }
    const ChecksumArea &checksumArea() const { return m_area; }

private:
    struct PendingDir
    {
        int64_t offset = 0;
        int64_t bytes = -1; // -1: a relocated folder, whose size its own first record gives
        Iso_Dir *node = nullptr;
        int64_t need = 0; // how much of the image must be written before it can be read
    };
    struct Record;
    static int64_t needOf(const PendingDir &dir);
    bool readVolumeDescriptor(int fd);
    // False with `retry` when a part of it is not written yet (the folder's `need` then says how far).
    bool readDirectory(int fd, int64_t written, const PendingDir &dir, bool &retry);
    // False with `continuationEnd` set when a continuation area is not written yet.
    bool readRecord(int fd, int64_t written, const unsigned char *data, int length, Record &record,
                    int64_t &continuationEnd) const;
    QHash<QByteArray, void *> childrenOf(Iso_Dir *dir) const;
    bool fail();

    Iso_Image *m_image;
    int64_t m_imageBytes;
    bool m_checksums = false;
    ChecksumArea m_area;
    std::vector<int64_t> m_emptyFiles; // checksum indexes of files without data
    bool m_usable = true;
    bool m_haveVolume = false;
    bool m_sorted = false;
    int m_suspSkip = -1; // -1 until the root's first record has shown Rock Ridge
    std::vector<PendingDir> m_pending;
    std::vector<Piece> m_pieces;
};
