#include "compilation/CompilationPage.h"

#include "compilation/RootText.h"
#include "compilation/SizeTexts.h"

#include <QTreeWidget>

void CompilationPage::UpdateImageStatistics()
{
    m_sizeText = SizeTexts::megabytes(m_model.sizeBytes());
    if (QTreeWidgetItem *top = root())
        top->setText(0, RootText::compose(m_model.label(), m_sizeText));
}
