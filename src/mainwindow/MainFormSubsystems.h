#pragma once

#include <memory>

class BurnController;
class DriveLists;
class EraseLauncher;
class ImageJobController;
class TMainForm;

// The subsystems that act for the main window's pages, made once the secondary windows exist and
// connected to the window's actions and the pages' controls. The window owns them; they never own a
// control. The FILETOISO page does its own work; it is connected here to the picker and the actions.
class MainFormSubsystems final
{
public:
    explicit MainFormSubsystems(TMainForm &form);
    ~MainFormSubsystems();
    MainFormSubsystems(const MainFormSubsystems &) = delete;
    MainFormSubsystems &operator=(const MainFormSubsystems &) = delete;

    // Destroyed in reverse order: the jobs end before the objects they report to.
    std::unique_ptr<DriveLists> Drives;
    std::unique_ptr<BurnController> Burn;
    std::unique_ptr<ImageJobController> ImageJobs;
    std::unique_ptr<EraseLauncher> Erase;

private:
    void connectActions(TMainForm &form);
};
