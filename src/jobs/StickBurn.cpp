#include "jobs/StickBurn.h"

#include "app/MessageBox.h"
#include "engine/StickInfo.h"
#include "engine/TDVDWriterPro2.h"

bool ConfirmStickBurn(TDVDWriterPro2 &engine)
{
    const int drive = engine.CurrentDrive();
    const std::optional<StickInfo> stick = engine.StickDetails(drive);
    if (!stick)
        return true;
    if (ShowDangerQuestion(StickQuestionText(*stick)) != IDYES)
        return false;
    return engine.ConfirmStickWrite(drive);
}

void AdviseAfterStickCancel(TDVDWriterPro2 &engine)
{
    if (engine.StickLeftPartlyWritten(engine.CurrentDrive()))
        ShowMessageBox(StickCancelledAdvice(), 1);
}
