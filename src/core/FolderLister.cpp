#include "core/FolderLister.h"

#include "base/ErrorText.h"
#include "core/OffThread.h"
#include "engine/TDVDWriterPro2.h"

#include <optional>

FolderLister::FolderLister(TDVDWriterPro2 &engine, QObject *parent)
    : QObject(parent)
    , m_engine(engine)
{
    // A new listing starts beside those it overtook rather than waiting for them.
    m_pool.setMaxThreadCount(4);
}

FolderLister::~FolderLister()
{
    m_pool.waitForDone();
}

void FolderLister::list(const QString &destPath)
{
    const uint64_t serial = ++m_serial;
    m_wanted = serial;
    struct Listing
    {
        std::vector<ImageItem> items;
        std::optional<QString> error;
    };
    TDVDWriterPro2 *engine = &m_engine;
    OffThread(
        m_pool, this,
        [engine, destPath] {
            Listing listing;
            listing.error = FailureOf([&] { listing.items = engine->ListItems(destPath); });
            return listing;
        },
        [this, serial](const Listing &listing) {
            if (serial != m_wanted)
                return;
            m_wanted = 0;
            if (listing.error)
                Q_EMIT failed(*listing.error);
            else
                Q_EMIT listed(listing.items);
        });
}

void FolderLister::drop()
{
    m_wanted = 0;
}
