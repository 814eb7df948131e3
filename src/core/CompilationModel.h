#pragma once

#include "engine/ImageItem.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>

class TDVDWriterPro2;

// What the FILETOISO compilation holds, asked of the engine instance that holds it: the volume
// label, whether the image is empty, its size, and the lines of a list file. The page's views
// show it; the image job and the list-file save ask it. Qt Core only: nothing here is read back
// from a widget.
class CompilationModel final
{
public:
    explicit CompilationModel(TDVDWriterPro2 &engine);

    // The volume label as the user typed it.
    QString label() const;
    void setLabel(const QString &label);
    // The label an image gets: without the blanks at its end.
    QString imageLabel() const;

    bool isEmpty() const;
    int64_t sizeBlocks() const;
    // The size the page shows: zero for an image that holds nothing (the engine counts the
    // volume descriptors and the empty root even then).
    qint64 sizeBytes() const;

    // The list file of the compilation: "filelist", then one line per file of each folder in
    // `folderPaths`, in that order and in the engine's order within a folder. `eachFile`, when
    // given, also sees every file as it is listed.
    QStringList listFileLines(const QStringList &folderPaths,
                              const std::function<void(const ImageItem &)> &eachFile = {}) const;

private:
    TDVDWriterPro2 &m_engine;
};
