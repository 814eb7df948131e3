#pragma once

#include <QString>

#include <memory>

struct iso_stream;
struct WriteControl;

// A file read from a disc, wrapped so that it counts as new to the image it moves into.
// libisofs numbers the files of a disc it reads from that reading's own counter; moved into another
// image, those numbers clash with the ones handed to its folders, and readers such as libarchive then
// take a file for a hard link to a folder. The wrapper reads through to the disc and carries an
// identity of its own.
// It also holds the disc to what its folder promised: libisofs writes zeros for a file it cannot
// read, so a read error, or an end before the recorded size, is reported to `control` instead, which
// fails the write.
namespace ImportedFileStream {
// Takes a reference on `disc`; the new stream starts with one reference, which the new IsoFile takes.
// `discPath` names the file in messages.
iso_stream *wrap(iso_stream *disc, std::shared_ptr<WriteControl> control, const QString &discPath);
} // namespace ImportedFileStream
