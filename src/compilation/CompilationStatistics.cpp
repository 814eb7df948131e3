#include "compilation/CompilationPage.h"

#include "app/MessageBox.h"
#include "core/ImageSizeCalculator.h"
#include "core/RootText.h"
#include "core/SizeTexts.h"

#include <QTreeWidget>

void CompilationPage::UpdateImageStatistics()
{
    // libisofs lays the whole image out for its size: seconds for a big compilation, so it is asked
    // on the calculator's thread and shown when it answers.
    m_sizes->request();
}

bool CompilationPage::isSizePending() const
{
    return m_sizes->isWorking();
}

bool CompilationPage::isSizeComputing() const
{
    return m_sizes->isComputing();
}

void CompilationPage::showSize(qint64 bytes)
{
    m_sizeText = SizeTexts::megabytes(bytes);
    if (QTreeWidgetItem *top = root())
        top->setText(0, RootText::compose(m_model.label(), m_sizeText));
    Q_EMIT SizeShown();
    listAfterSize();
}

void CompilationPage::userClickedTree()
{
    // Listing needs the engine, which the size thread holds while it lays out a big image: the
    // click is answered when the size is known, with the hourglass meanwhile.
    if (m_sizes->isComputing()) {
        if (!m_listAfterSize)
            window()->setCursor(Qt::WaitCursor);
        m_listAfterSize = true;
        return;
    }
    TsListDirClick();
}

void CompilationPage::listAfterSize()
{
    if (!m_listAfterSize)
        return;
    m_listAfterSize = false;
    window()->unsetCursor();
    TsListDirClick();
}
