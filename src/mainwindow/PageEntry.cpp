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
    m_form.ShowPictureStrip(m_form.ImgCDTOISO);
}

void PageEntry::EnterFileToIsoPage()
{
    if (MainFormSubsystems *s = m_form.subsystems())
        s->Compilation->EnterFileToIsoPage();
    m_form.ShowPictureStrip(m_form.ImgDATATOISO);
}

void PageEntry::EnterBurnIsoPage()
{
    if (MainFormSubsystems *s = m_form.subsystems())
        s->Drives->EnterBurnIsoPage();
    m_form.ShowPictureStrip(m_form.ImgBURNISO);
}
