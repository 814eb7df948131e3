#pragma once

#include <memory>

class BurnController;
class CompilationPage;
class DriveLists;
class EraseLauncher;
class ImageJobController;
class TMainForm;

// The subsystems that act for the main window's pages, made once the secondary windows exist and
// connected to the window's actions and controls. The window owns them; they never own a control.
class MainFormSubsystems final
{
public:
    explicit MainFormSubsystems(TMainForm &form);
    ~MainFormSubsystems();
    MainFormSubsystems(const MainFormSubsystems &) = delete;
    MainFormSubsystems &operator=(const MainFormSubsystems &) = delete;

    // Destroyed in reverse order: the jobs end before the page objects they report to.
    std::unique_ptr<CompilationPage> Compilation;
    std::unique_ptr<DriveLists> Drives;
    std::unique_ptr<BurnController> Burn;
    std::unique_ptr<ImageJobController> ImageJobs;
    std::unique_ptr<EraseLauncher> Erase;

private:
    void connectActions(TMainForm &form);
};
