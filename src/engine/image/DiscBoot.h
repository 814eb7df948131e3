#pragma once

#include "engine/image/ImageTree.h"

#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

struct Iso_Image;
struct Iso_File;
struct WriteControl;

// The boot set-up of a disc being copied: its El Torito boot records (the catalogue and each entry's
// boot image, load settings and boot info table) and its system area (a hybrid disc's MBR). They are
// learnt from the disc's image before its tree moves into ours and laid out again in our image once it
// has, so that the copy boots where the disc booted. What libisofs cannot lay out again for the copy
// (a GPT or Apple partition map, an entry whose image lies outside the file system, a system area of
// another kind) is left out and named in the tree's notes.
class DiscBoot final
{
public:
    struct Entry
    {
        QString path; // in the disc's tree, "/a/b"; empty when the image is in no folder
        Iso_File *hiddenFile = nullptr; // the image when no folder holds it (one reference held)
        bool inFile = true; // false: the image lies outside the file system
        int mediaType = 0;
        int platform = 0;
        int loadSegment = 0;
        int loadSize = 0;
        bool bootable = true;
        int isolinuxOptions = 0;
        std::array<uint8_t, 28> idString {};
        std::array<uint8_t, 20> selection {};
    };

    // Learns the disc's boot set-up; `drive` ("D:") names the disc in the notes. The catalogue stays
    // in the disc's tree: the merge leaves it behind, and the copy gets one of its own.
    DiscBoot(Iso_Image *disc, const QString &drive);
    ~DiscBoot();
    DiscBoot(const DiscBoot &) = delete;
    DiscBoot &operator=(const DiscBoot &) = delete;

    bool bootable() const { return !m_entries.empty(); }
    const std::vector<Entry> &entries() const { return m_entries; }

    // After the disc's tree was merged into `tree` at `dest`: the boot records point at the copied
    // images, and the system area goes with the image.
    void apply(ImageTree &tree, const QStringList &dest, const std::shared_ptr<WriteControl> &control);

private:
    void learnSystemArea(Iso_Image *disc);
    void learnEntries(Iso_Image *disc);
    void recreate(ImageTree &tree, const QStringList &dest, const std::shared_ptr<WriteControl> &control);
    QString note(const QString &text) const;

    QString m_drive;
    std::vector<Entry> m_entries;
    QString m_catalogPath; // empty: the catalogue is in no folder
    int m_catalogHidden = 0;
    SystemArea m_area;
    bool m_haveArea = false;
    QStringList m_notes;
};
