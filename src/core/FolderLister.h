#pragma once

#include "engine/ImageItem.h"

#include <QObject>
#include <QString>
#include <QThreadPool>

#include <cstdint>
#include <vector>

class TDVDWriterPro2;

// Lists one folder of the compilation's image away from the UI thread, so that the window keeps
// answering while a folder of tens of thousands of files is listed again. Only the answer to the
// latest request is delivered; an older one still running is left to end and thrown away. Qt Core only.
class FolderLister final : public QObject
{
    Q_OBJECT
public:
    explicit FolderLister(TDVDWriterPro2 &engine, QObject *parent = nullptr);
    // Waits for the running listings: the engine must not be left with a thread inside it.
    ~FolderLister() override;

    void list(const QString &destPath);
    // The answer of the last request is no longer wanted (the view shows something else now).
    void drop();
    bool isListing() const { return m_wanted != 0; }

Q_SIGNALS:
    void listed(const std::vector<ImageItem> &items);
    void failed(const QString &reason);

private:
    TDVDWriterPro2 &m_engine;
    uint64_t m_serial = 0;
    uint64_t m_wanted = 0; // the serial whose answer is awaited; 0 for none
    QThreadPool m_pool; // a listing overtaken by a newer one runs to its end there and is dropped
};
