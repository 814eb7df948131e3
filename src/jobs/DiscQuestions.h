#pragma once

#include "engine/DiscContents.h"

#include <optional>

// Asked on the UI thread before a burn writes over, or an erase empties, a disc that holds data: the
// drive, the kind of disc and what is on it, No the default. True when the work may go on, which it
// always may for a disc with nothing to lose (`disc` empty).
bool AskOverwriteDisc(const std::optional<DiscContents> &disc);
bool AskEraseDisc(const std::optional<DiscContents> &disc);
