#pragma once

#include "engine/ImageItem.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <atomic>
#include <cstdint>
#include <functional>
#include <sys/types.h>

struct Iso_Image;
struct Iso_Node;
struct Iso_Dir;

// Receives every item an add creates. `wanted` false lets the adders skip building the texts.
struct ItemSink
{
    std::function<void(const ImageItem &)> report;
    bool wanted = false;
};

// The attributes an image folder takes from its source folder.
struct FolderOrigin
{
    QString sourcePath;
    mode_t mode = 0755;
    uid_t uid = 0;
    gid_t gid = 0;
    time_t mtime = 0;
    time_t atime = 0;
    time_t ctime = 0;
};

// The first 32 KB of an image, which a hybrid disc fills with an MBR for booting from a stick, and the
// libisofs options that lay it out anew for the image it is written into.
struct SystemArea
{
    QByteArray data; // empty: libisofs writes zeros
    int options = 0;
};

// The libisofs tree of one engine instance and what the engine tracks about it. Every call must be
// made with EngineLibraries::isoLock() held.
class ImageTree final
{
public:
    ImageTree();
    ~ImageTree();
    ImageTree(const ImageTree &) = delete;
    ImageTree &operator=(const ImageTree &) = delete;

    void reset();
    Iso_Image *image() const { return m_image; }

    // The image as it is now, held apart: a later reset and adds build a new image and leave this
    // one as it was, so that restore() can bring it back whole.
    struct Kept
    {
        Iso_Image *image = nullptr;
        int64_t hugeFiles = 0;
    };
    Kept keep() const;
    void restore(Kept &kept); // takes it; an empty one changes nothing
    static void drop(Kept &kept);
    Iso_Dir *root() const;

    // Bumped by every change; the size cache compares it. Unique in the process, so that a reset
    // image never repeats an earlier value; readable from any thread without the lock.
    uint64_t generation() const { return m_generation.load(); }
    void touch();
    // Files of 4 GiB or more force ISO level 3.
    int64_t hugeFileCount() const { return m_hugeFiles; }
    void countAdded(Iso_Node *node); // the node and everything below it
    void countRemoved(Iso_Node *node); // likewise, before it goes

    Iso_Node *find(const QStringList &components) const;
    // The folder at `components`, creating what is missing. Every folder made is reported; the last
    // one takes `origin` when given. A component that exists as a file raises KestraneError.
    Iso_Dir *ensureFolder(const QStringList &components, const ItemSink &sink, const FolderOrigin *origin);
    bool remove(const QStringList &components);

    static ImageItem describe(Iso_Node *node, const QString &parentDest);
    static QString nodeName(Iso_Node *node);

    // Remembers where a folder or symlink came from (files know it through their stream).
    static void setSourcePath(Iso_Node *node, const QString &path);
    static QString sourcePathOf(Iso_Node *node);
    // The same in bytes: a local path exactly as the system spells it, names that are not UTF-8 too.
    static void setSourcePathBytes(Iso_Node *node, const QByteArray &path);
    static QByteArray sourcePathBytesOf(Iso_Node *node);
    static void applyOrigin(Iso_Node *node, const FolderOrigin &origin);

    // A copied disc's system area; gone with a reset, like its boot records.
    const SystemArea &systemArea() const { return m_systemArea; }
    void setSystemArea(const SystemArea &area) { m_systemArea = area; }
    // What an add could not keep of its source without failing (parts of a disc's boot set-up).
    const QStringList &notes() const { return m_notes; }
    void addNote(const QString &note) { m_notes << note; }

private:
    // Whether `node` is, or holds, a boot image or the boot catalogue of the image.
    bool holdsBootRecords(Iso_Node *node) const;

    Iso_Image *m_image = nullptr;
    std::atomic<uint64_t> m_generation {0};
    int64_t m_hugeFiles = 0;
    SystemArea m_systemArea;
    QStringList m_notes;
};

// A libisofs return code as a user-readable reason.
QString isoErrorText(int code);
