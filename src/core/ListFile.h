#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

class QFile;
class QIODevice;

// The ".mst" list file: a "filelist" line, then one "source|destination folder" line per file of
// the image, every line ending in CR LF. Reading is kept apart from the engine so that it can be
// driven with any sink.
namespace ListFile {

inline constexpr char Header[] = "filelist";
// No source or image path comes near this; a longer line is not a list-file line and is refused
// before it can take the memory of a whole huge file.
inline constexpr qsizetype MaxLineBytes = 1 << 20;

// Where the lines of a list file go. Either call may throw KestraneError, which ends the load.
class Sink
{
public:
    virtual ~Sink() = default;
    // How many lines will follow reset(), for a progress display.
    virtual void expect(qsizetype lines) { (void)lines; }
    virtual void reset() = 0;
    virtual void addFolder(const QString &destFolder, const QString &source) = 0;
};

enum class LoadResult {
    Loaded,
    NotAListFile, // the first line is not exactly "filelist": nothing was passed on
    LoadError, // unreadable, empty, a line that cannot be one, or the sink raised an error
};

struct Entry
{
    QString source;
    QString destFolder;
};

// Splits a line at its first "|": the source before it, the destination folder after it; a line
// without "|" is all destination. The destination always ends in "\" (a folder), so a hand-edited
// "\Docs" means the folder \Docs and never a file named Docs.
Entry splitLine(const QString &line);

// Opens the list file `file` names for reading. Only a regular file (or a link to one) is opened, and
// without waiting: a FIFO or a device named as the list would otherwise hang the load. False with
// the reason in `problem` when it cannot be opened.
bool open(QFile &file, QString *problem);

// Reads `device` (open for reading) to its end; a line ends at CR LF, CR or LF. Only a file read
// whole and well formed reaches the sink: then sink.reset() once, and sink.addFolder() for every
// line after the header in order. A file that cannot be read as a list leaves the sink untouched;
// an error raised by the sink ends the load and what it took before stays with it. `problem`, when
// given, receives why a load failed, naming the line (the header is line 1).
LoadResult load(QIODevice &device, Sink &sink, QString *problem = nullptr);

// The line of one file: its source, "|" and the destination folder it lies in (its destination
// path with its own name cut off the end).
QString entryLine(const QString &sourcePath, const QString &itemDestPath, const QString &itemName);

// The bytes of a list file holding `lines` (UTF-8, every line ended by CR LF).
QByteArray encode(const QStringList &lines);

} // namespace ListFile
