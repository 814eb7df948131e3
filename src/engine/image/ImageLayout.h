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
    };

    ImageLayout(Iso_Image *image, int64_t imageBytes);

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
    bool m_usable = true;
    bool m_haveVolume = false;
    bool m_sorted = false;
    int m_suspSkip = -1; // -1 until the root's first record has shown Rock Ridge
    std::vector<PendingDir> m_pending;
    std::vector<Piece> m_pieces;
};
