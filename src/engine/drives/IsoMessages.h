#pragma once

#include "engine/drives/DriveLayer.h"

#include <vector>

// libisofs keeps a message queue of its own; the engine drains it with libburn's, so that nothing
// above DEBUG goes unreported.
namespace Drives {

// Queue everything above DEBUG instead of printing only fatal messages; call once libisofs is up.
void queueIsoMessages();
// The queued messages; none while another thread works with libisofs (they wait for the next call).
std::vector<LibraryMessage> takeIsoMessages();

} // namespace Drives
