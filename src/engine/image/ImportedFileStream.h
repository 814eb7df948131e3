#pragma once

struct iso_stream;

// A file read from a disc, wrapped so that it counts as new to the image it moves into.
// libisofs numbers the files of a disc it reads from that reading's own counter; moved into another
// image, those numbers clash with the ones handed to its folders, and readers such as libarchive then
// take a file for a hard link to a folder. The wrapper reads through to the disc and carries an
// identity of its own.
namespace ImportedFileStream {
// Takes a reference on `disc`; the new stream starts with one reference, which the new IsoFile takes.
iso_stream *wrap(iso_stream *disc);
} // namespace ImportedFileStream
