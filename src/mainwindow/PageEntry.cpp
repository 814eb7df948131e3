#include "PageEntry.h"

#include "TMainForm.h"

#include <QLineEdit>
#include <QTreeWidget>

PageEntry::PageEntry(TMainForm &form)
    : m_form(form)
{ }

void PageEntry::EnterCdToIsoPage()
{
    m_form.EdtSavePath->clear();
    m_form.ShowPictureStrip(m_form.ImgCDTOISO);
}

void PageEntry::EnterFileToIsoPage()
{
    // The file list stays empty until a folder of the tree is clicked.
    m_form.LsviewFile->clear();
    m_form.ShowPictureStrip(m_form.ImgDATATOISO);
}

void PageEntry::EnterBurnIsoPage()
{
    // The burn page keeps its image path; the CD page's target path is forgotten.
    m_form.EdtSavePath->clear();
    m_form.ShowPictureStrip(m_form.ImgBURNISO);
}
