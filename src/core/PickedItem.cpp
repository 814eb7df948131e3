#include "core/PickedItem.h"

#include "engine/TDVDWriterPro2.h"

QList<ImageAddition> AdditionsOf(const QList<PickedItem> &items, const QString &destFolder)
{
    const QString prefix = destFolder == QStringLiteral("\\") ? QString() : destFolder;
    QList<ImageAddition> additions;
    additions.reserve(items.size());
    for (const PickedItem &item : items) {
        const QString dest = prefix + QLatin1Char('\\') + TDVDWriterPro2::ImageName(item.name);
        additions.append({dest, item.folder ? item.path + QStringLiteral("/*.*") : item.path, item.folder});
    }
    return additions;
}

void AddToImage(TDVDWriterPro2 &engine, const ImageAddition &addition,
                const TDVDWriterPro2::ItemReport &report)
{
    if (report && addition.folder)
        engine.AddFolderReporting(addition.destPath, addition.source, report);
    else if (report)
        engine.AddFileReporting(addition.destPath, addition.source, report);
    else if (addition.folder)
        engine.AddFolder(addition.destPath, addition.source);
    else
        engine.AddFile(addition.destPath, addition.source);
}
