#pragma once

#include "engine/ImageItem.h"
#include "engine/TDVDWriterPro2.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

// Helpers of the image-side tests: source trees, the outside readers, tree comparison, event records.
namespace ImageTest {

void writeFile(const QString &path, const QByteArray &content);
void makeDirs(const QString &path);
void makeSymlink(const QString &target, const QString &linkPath);
void makeFifo(const QString &path);
QByteArray patterned(qint64 size, int seed); // deterministic, not compressible-looking content

struct ProcessResult
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};
// Runs a program with a bounded wait; exitCode -1 when it did not finish in time.
ProcessResult run(const QString &program, const QStringList &args, int timeoutMs = 120000);

// The outside readers: extract the whole image into `dir` (created).
bool extractWithBsdtar(const QString &iso, const QString &dir);
bool extractWithXorriso(const QString &iso, const QString &dir);
bool extractWith7z(const QString &iso, const QString &dir);

// The differences between a source tree and an extracted tree: names, kinds, bytes of every file,
// symlink targets, empty folders. FIFOs, sockets and devices of the source are expected to be absent.
// `rename` maps a source name to the name expected in the image.
QStringList compareTrees(const QString &source, const QString &extracted,
                         const std::function<QString(const QString &)> &rename = {});

// The volume identifiers of the primary and the Joliet descriptor, read from the image's bytes.
QString primaryVolumeId(const QString &iso);
QString jolietVolumeId(const QString &iso); // empty when there is no Joliet descriptor

// Runs `body` in a child process under the "nobody" user (root reads everything, so unreadable
// sources and read-only folders need another user). Answers the child's exit code, -1 on time-out.
int runAsNobody(const std::function<int()> &body, int timeoutMs = 60000);
// Runs `body` in a child process; answers its exit code, -1 on time-out or signal.
int runInChild(const std::function<int()> &body, int timeoutMs = 60000);
// Makes a path and all folders above it reachable for other users.
void openForOthers(const QString &path);

// One reported item: the engine's own record of it.
using Event = ImageItem;

// Records the engine's OnISOItemAdded and OnEnumISOItems events as they arrive.
class EventLog final : public QObject
{
    Q_OBJECT
public:
    explicit EventLog(TDVDWriterPro2 &engine);
    QList<Event> added;
    QList<Event> listed;
    QStringList addedPaths() const;
    QStringList listedPaths() const;
    void clear();
};

} // namespace ImageTest

// Readable failure messages for Qt texts.
#include <ostream>
inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QStringList &list, std::ostream *os)
{
    *os << '[' << list.join(QStringLiteral(", ")).toStdString() << ']';
}
