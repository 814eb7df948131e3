#include "engine/image/ImageFiles.h"

#include <cstdint>
#include <libisofs/libisofs.h>

#include <cstdlib>

namespace {

void collectFolder(IsoDir *dir, const QString &path, ImageFiles::Layout &layout)
{
    IsoDirIter *iter = nullptr;
    if (iso_dir_get_children(dir, &iter) < 0)
        return;
    IsoNode *node = nullptr;
    while (iso_dir_iter_next(iter, &node) == 1) {
        const QString childPath = path + QLatin1Char('/') + QString::fromUtf8(iso_node_get_name(node));
        if (iso_node_get_type(node) == LIBISO_DIR) {
            collectFolder(reinterpret_cast<IsoDir *>(node), childPath, layout);
            continue;
        }
        if (iso_node_get_type(node) != LIBISO_FILE)
            continue;
        auto *file = reinterpret_cast<IsoFile *>(node);
        const int index = int(layout.files.size());
        layout.files.push_back({childPath, file, int64_t(iso_file_get_size(file))});
        int count = 0;
        struct iso_file_section *sections = nullptr;
        if (iso_file_get_old_image_sections(file, &count, &sections, 0) == 1) {
            for (int i = 0; i < count; ++i)
                layout.sections.push_back(
                    {int64_t(sections[i].block) * 2048, int64_t(sections[i].size), index});
            std::free(sections);
        }
    }
    iso_dir_iter_free(iter);
}

} // namespace

ImageFiles::Layout ImageFiles::collect(IsoImage *image)
{
    Layout layout;
    collectFolder(iso_image_get_root(image), QString(), layout);
    // Stable: the sections of one file keep their order, and so feed its checksum in order.
    std::stable_sort(layout.sections.begin(), layout.sections.end(),
                     [](const Section &a, const Section &b) { return a.offset < b.offset; });
    return layout;
}
