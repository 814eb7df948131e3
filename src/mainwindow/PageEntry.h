#pragma once

class TMainForm;

// The entry work of each page, run by the page switch before the page becomes current, on every
// switch (also to the page that is current already).
class PageEntry final
{
public:
    explicit PageEntry(TMainForm &form);

    void EnterCdToIsoPage();
    void EnterFileToIsoPage();
    void EnterBurnIsoPage();

private:
    TMainForm &m_form;
};
