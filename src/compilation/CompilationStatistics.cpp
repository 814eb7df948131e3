#include "compilation/CompilationPage.h"

#include "app/MessageBox.h"
#include "compilation/ImageSizeCalculator.h"
#include "compilation/RootText.h"
#include "compilation/SizeTexts.h"

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

void CompilationPage::showSize(qint64 bytes)
{
    m_sizeText = SizeTexts::megabytes(bytes);
    if (QTreeWidgetItem *top = root())
        top->setText(0, RootText::compose(m_model.label(), m_sizeText));
    Q_EMIT SizeShown();
}
