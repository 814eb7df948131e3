#pragma once

#include <QHash>
#include <QImage>
#include <QMutex>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <thread>
#include <vector>

// Reads the main window's pictures on a thread of its own while Qt connects to the display, which
// leaves the second core idle: decoding them (and loading every image plugin, which Qt's first read
// does) was most of the window's own time before it could show. Qt's image reading may not run before
// the application exists, so the thread decodes with libpng into plain pixel rows, and only pictures
// Qt would read alike: 8-bit RGB or RGBA without colour, transparency or text chunks. Anything else is
// left to Qt. Only one-pixel-per-point pictures are read ahead, since the screens' ratio is not known
// until the application exists; on finer screens the read-ahead is thrown away.
//
// While one lives, RatioPicture takes its pictures from it. The thread runs at the lowest priority, so
// nothing waits on it: a picture it has not read yet is read by the thread that asks.
class PictureReadAhead final
{
public:
    // `files` are full paths, in the order the window will ask for them.
    explicit PictureReadAhead(QStringList files);
    ~PictureReadAhead();
    PictureReadAhead(const PictureReadAhead &) = delete;
    PictureReadAhead &operator=(const PictureReadAhead &) = delete;

    // The main window's one-pixel-per-point pictures below the program folder `exeFolder`.
    static QStringList startUpPictures(const QString &exeFolder);

    // The picture read ahead for `path`, as often as it is asked for (the pages share button faces);
    // nothing when none lives or it was discarded, the path is not one of its files, or is left to Qt.
    static std::optional<QImage> take(const QString &path);
    // Stops the reading and frees what was read: the window has its pictures, or reads them at another
    // ratio.
    static void discard();

    // Decoded pixels, 32 bits each in QImage's ARGB32 order, and what else Qt's reader would give.
    struct Pixels
    {
        int width = 0;
        int height = 0;
        bool alpha = false;
        int dotsPerMeterX = 0;
        int dotsPerMeterY = 0;
        std::vector<unsigned char> bytes;
    };
    // The PNG file decoded, when it is one Qt would read alike.
    static std::optional<Pixels> decode(const QString &path);
    // An image drawing from the pixels, which it keeps.
    static QImage toImage(std::shared_ptr<const Pixels> pixels);

private:
    enum class State { Waiting, Reading, Read, Skipped };

    void run();
    std::optional<QImage> takeFile(const QString &path);
    void stop();

    QMutex m_lock;
    QStringList m_files;
    QHash<QString, State> m_states;
    // Shared with the threads making images of them, which do so without the lock.
    QHash<QString, std::shared_ptr<const Pixels>> m_pixels;
    bool m_stopped = false;
    std::thread m_thread;
};
