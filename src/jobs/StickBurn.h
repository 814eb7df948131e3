#pragma once

#include "engine/StickInfo.h"

#include <optional>

class TDVDWriterPro2;

// The window's part of a burn to a USB stick or SD card; a burn to a disc passes through unchanged.

// The drive a burn would write and, when it is a stick, what the question names. Asked on the drive
// thread, with the medium.
struct StickTarget
{
    int drive = -1;
    std::optional<StickInfo> stick;
};
StickTarget StickTargetOf(const TDVDWriterPro2 &engine);

// Asked on the UI thread before the burn starts: for a stick, the question naming it and what it
// holds, No the default. True when the burn may go on.
bool AskStickBurn(const StickTarget &target);

// On the drive thread right before the burn: hands the user's Yes to the engine for this one burn.
// False when the stick cannot be confirmed any more (it was listed afresh meanwhile).
bool ConfirmStickBurn(TDVDWriterPro2 &engine, const StickTarget &target);

// After "Writing Cancelled!": whether the stick was left partly written (asked on the drive thread),
// and the advice the window shows then.
bool StickLeftPartlyWritten(const TDVDWriterPro2 &engine);
void AdviseAfterStickCancel();
