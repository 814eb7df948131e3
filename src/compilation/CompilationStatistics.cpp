#include "CompilationPage.h"

#include "RootText.h"
#include "SizeTexts.h"
#include "TDVDWriterPro2.h"

#include <QTreeWidget>

#include <cmath>

namespace {
// The engine counts an image without a single item at its exact written size: the volume
// descriptors and empty directories, some 33 blocks. Up to this size the page asks whether the
// image holds anything, so that an empty image shows and counts as empty.
constexpr int64_t EmptyImageProbeBlocks = 64;
} // namespace

void CompilationPage::UpdateImageStatistics()
{
    const QString size = SizeTexts::megabytes(imageBytes());
    QTreeWidgetItem *top = root();
    if (!top)
        return;
    top->setText(0, RootText::compose(m_c.DVDWriterPro21->VolumeIdentifier(), size));
}

qint64 CompilationPage::imageBytes()
{
    const int64_t blocks = m_c.DVDWriterPro21->ImageSizeBlocks();
    if (blocks <= EmptyImageProbeBlocks && !imageHasItems())
        return 0;
    return std::llround(TDVDWriterPro2::BlocksToBytes(blocks, 1));
}

bool CompilationPage::imageHasItems()
{
    // Only a small image gets here, so the root holds few entries to count.
    int items = 0;
    const QMetaObject::Connection counter = connect(
        m_c.DVDWriterPro21, &TDVDWriterPro2::OnEnumISOItems, this, [&items] { ++items; },
        Qt::DirectConnection);
    m_probing = true;
    try {
        m_c.DVDWriterPro21->EnumItems(QStringLiteral("\\"));
    } catch (...) {
        m_probing = false;
        disconnect(counter);
        throw;
    }
    m_probing = false;
    disconnect(counter);
    return items > 0;
}
