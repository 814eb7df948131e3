#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>
#include <memory>
#include <mutex>
#include <sys/types.h>

struct iso_stream;

// Shared between the writing thread and libisofs's writer thread during one WriteImageFile:
// the cancel request, and the first source that failed to read.
struct WriteControl
{
    std::atomic<bool> cancel {false};
    std::atomic<bool> failed {false};
    // The writer copies the file data itself from here on: libisofs's reads end at once.
    std::atomic<bool> libraryDone {false};

    void fail(const QString &message)
    {
        std::lock_guard guard(m_mutex);
        if (!failed.exchange(true))
            m_message = message;
    }
    QString failure() const
    {
        std::lock_guard guard(m_mutex);
        return m_message;
    }
    void reset()
    {
        std::lock_guard guard(m_mutex);
        cancel = false;
        failed = false;
        libraryDone = false;
        m_message.clear();
    }

private:
    mutable std::mutex m_mutex;
    QString m_message;
};

// The source folder of a group of files: its native path, shared by every file stream in it so that
// a file costs its name, not its whole path.
class SourceFolder final
{
public:
    static SourceFolder *create(const QByteArray &nativePath, std::shared_ptr<WriteControl> control);
    void ref() { m_refs.fetch_add(1, std::memory_order_relaxed); }
    void unref();
    const QByteArray &path() const { return m_path; }
    WriteControl &control() const { return *m_control; }

private:
    SourceFolder(const QByteArray &nativePath, std::shared_ptr<WriteControl> control);
    std::atomic<int> m_refs {1};
    QByteArray m_path;
    std::shared_ptr<WriteControl> m_control;
};

// A libisofs file stream over a local file that reads large chunks (libisofs asks 2 KB per call).
// Its size is fixed when it is made: a file that is shorter or longer when the image is written fails
// the write.
namespace SourceFileStream {
// Takes a reference on `folder`. The stream starts with one reference, which the new IsoFile takes.
iso_stream *create(SourceFolder *folder, const QByteArray &nativeName, off_t size, dev_t dev, ino_t ino);
bool isSourceFileStream(iso_stream *stream);
QByteArray sourcePath(iso_stream *stream); // native bytes
// For a copy that goes around libisofs: opens the file with the checks a read through the stream
// makes; -1 once the failure is reported to the stream's WriteControl.
int openSource(iso_stream *stream);
// After the last byte of the file was copied from `fd`: false, once reported, when the file has grown
// since it was added.
bool endedAtItsSize(iso_stream *stream, int fd);
// Reports that the file could not be read (`error` an errno value) or ended early (`error` 0).
void reportReadFailure(iso_stream *stream, int error);
WriteControl &control(iso_stream *stream);
} // namespace SourceFileStream
