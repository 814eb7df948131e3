#include "mainwindow/PageEntry.h"

#include "compilation/CompilationPage.h"
#include "jobs/DriveLists.h"
#include "mainwindow/MainFormSubsystems.h"
#include "mainwindow/TMainForm.h"

PageEntry::PageEntry(TMainForm &form)
    : m_form(form)
{ }

void PageEntry::EnterCdToIsoPage()
{
    if (MainFormSubsystems *s = m_form.subsystems())
        s->Drives->EnterCdToIsoPage();
    m_form.ShowPictureStrip(m_form.pictureStrip()->ImgCDTOISO);
}

void PageEntry::EnterFileToIsoPage()
{
    // Before the secondary windows are adopted the page does no work.
    if (m_form.subsystems())
        m_form.compilationPage()->EnterFileToIsoPage();
    m_form.ShowPictureStrip(m_form.pictureStrip()->ImgDATATOISO);
}

void PageEntry::EnterBurnIsoPage()
{
    if (MainFormSubsystems *s = m_form.subsystems())
        s->Drives->EnterBurnIsoPage();
    m_form.ShowPictureStrip(m_form.pictureStrip()->ImgBURNISO);
}
