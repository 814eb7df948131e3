#include "core/CompilationModel.h"

#include "core/ListFile.h"
#include "engine/TDVDWriterPro2.h"

#include <cmath>

CompilationModel::CompilationModel(TDVDWriterPro2 &engine)
    : m_engine(engine)
{ }

QString CompilationModel::label() const
{
    return m_engine.VolumeIdentifier();
}

void CompilationModel::setLabel(const QString &label)
{
    // As typed: what ISO 9660 and Joliet can hold is the engine's business when it writes.
    m_engine.setVolumeIdentifier(label);
}

QString CompilationModel::imageLabel() const
{
    QString text = label();
    while (text.endsWith(QLatin1Char(' ')))
        text.chop(1);
    return text;
}

bool CompilationModel::isEmpty() const
{
    return !m_engine.ImageHasItems();
}

int64_t CompilationModel::sizeBlocks() const
{
    return m_engine.ImageSizeBlocks();
}

qint64 CompilationModel::sizeBytes() const
{
    if (isEmpty())
        return 0;
    return std::llround(TDVDWriterPro2::BlocksToBytes(sizeBlocks(), 1));
}

QStringList CompilationModel::listFileLines(const QStringList &folderPaths,
                                            const std::function<void(const ImageItem &)> &eachFile) const
{
    QStringList lines {QString::fromLatin1(ListFile::Header)};
    for (const QString &folder : folderPaths) {
        for (const ImageItem &item : m_engine.ListItems(folder)) {
            if (item.isDirectory)
                continue;
            lines.append(ListFile::entryLine(item.sourcePath, item.itemDest, item.name));
            if (eachFile)
                eachFile(item);
        }
    }
    return lines;
}
