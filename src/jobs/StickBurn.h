#pragma once

class TDVDWriterPro2;

// The window's part of a burn to a USB stick or SD card; a burn to a disc passes through unchanged.

// Asked on the UI thread before the burn starts: when the engine's current drive is a stick, the
// question naming it and what it holds, No the default. True when the burn may go on; a Yes is handed
// to the engine for this one burn.
bool ConfirmStickBurn(TDVDWriterPro2 &engine);

// After "Writing Cancelled!": tells the user when the stick was left partly written.
void AdviseAfterStickCancel(TDVDWriterPro2 &engine);
