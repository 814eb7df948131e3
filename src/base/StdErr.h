#pragma once

#include <QString>

// The one way the programs write to stderr: local 8-bit, flushed at once, so that lines of several
// threads and of libburn's own messages do not interleave mid-line.
namespace StdErr {

// `text` as it is.
void write(const QString &text);
// `text` and a line end.
void line(const QString &text);

} // namespace StdErr
