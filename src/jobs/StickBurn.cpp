#include "jobs/StickBurn.h"

#include "app/MessageBox.h"
#include "engine/TDVDWriterPro2.h"

StickTarget StickTargetOf(const TDVDWriterPro2 &engine)
{
    StickTarget target;
    target.drive = engine.CurrentDrive();
    target.stick = engine.StickDetails(target.drive);
    return target;
}

bool AskStickBurn(const StickTarget &target)
{
    if (!target.stick)
        return true;
    return ShowDangerQuestion(StickQuestionText(*target.stick)) == IDYES;
}

bool ConfirmStickBurn(TDVDWriterPro2 &engine, const StickTarget &target)
{
    if (!target.stick)
        return true;
    // The stick asked about must still be the drive that is about to be written.
    const std::optional<StickInfo> now = engine.StickDetails(engine.CurrentDrive());
    if (engine.CurrentDrive() != target.drive || !now || now->device != target.stick->device)
        return false;
    return engine.ConfirmStickWrite(target.drive);
}

bool StickLeftPartlyWritten(const TDVDWriterPro2 &engine)
{
    return engine.StickLeftPartlyWritten(engine.CurrentDrive());
}

void AdviseAfterStickCancel()
{
    ShowMessageBox(StickCancelledAdvice(), 1);
}
