#pragma once

#include <QString>

#include <algorithm>
#include <cstdint>
#include <vector>

struct Iso_Image;
struct Iso_File;

// The data files of a loaded image with the places of their bytes, for checks that read the image
// once from start to end and hand each file its own bytes on the way.
namespace ImageFiles {

struct File
{
    QString path; // "/Docs/a.txt"
    Iso_File *node = nullptr;
    int64_t bytes = 0;
};

// One section of one file: `bytes` bytes at `offset` in the image. A file of 4 GiB or more has several,
// two names of one file share theirs.
struct Section
{
    int64_t offset = 0;
    int64_t bytes = 0;
    int file = 0; // index into the files
};

struct Layout
{
    std::vector<File> files;
    std::vector<Section> sections; // sorted by offset, a file's own in its order
};

// The caller holds the libisofs lock and keeps the image until the layout is no longer used.
Layout collect(Iso_Image *image);

// Walks the sections while the image passes by in chunks: `feed` gets every piece of a file that lies
// in [chunkOffset, chunkOffset + chunk.size()), in image order.
class Sweep final
{
public:
    explicit Sweep(const std::vector<Section> &sections)
        : m_sections(sections)
    { }
    template<typename Feed>
    void pass(int64_t chunkOffset, const char *chunk, int64_t chunkBytes, Feed &&feed)
    {
        const int64_t chunkEnd = chunkOffset + chunkBytes;
        while (m_first < m_sections.size() &&
               m_sections[m_first].offset + m_sections[m_first].bytes <= chunkOffset)
            ++m_first;
        for (size_t i = m_first; i < m_sections.size() && m_sections[i].offset < chunkEnd; ++i) {
            const Section &s = m_sections[i];
            const int64_t from = std::max(s.offset, chunkOffset);
            const int64_t to = std::min(s.offset + s.bytes, chunkEnd);
            if (from < to)
                feed(s.file, chunk + (from - chunkOffset), to - from);
        }
    }

private:
    const std::vector<Section> &m_sections;
    size_t m_first = 0;
};

} // namespace ImageFiles
