#include <cstdint>
// libburn.h before libisofs.h: libisofs.h declares a global struct burn_source.
#include <libburn/libburn.h>
#include <libisofs/libisofs.h>

#include "engine/drives/IsoMessages.h"

#include "engine/Libraries.h"

#include <mutex>

namespace Drives {

void queueIsoMessages()
{
    std::lock_guard guard(EngineLibraries::isoLock());
    iso_set_msgs_severities(const_cast<char *>("UPDATE"), const_cast<char *>("NEVER"),
                            const_cast<char *>("libisofs : "));
}

std::vector<LibraryMessage> takeIsoMessages()
{
    std::vector<LibraryMessage> messages;
    // Never wait here: an image may be written on another thread for minutes.
    std::unique_lock guard(EngineLibraries::isoLock(), std::try_to_lock);
    if (!guard.owns_lock())
        return messages;
    int code = 0;
    int imageId = 0;
    char text[ISO_MSGS_MESSAGE_LEN] = {};
    char severity[80] = {};
    while (iso_obtain_msgs(const_cast<char *>("ALL"), &code, &imageId, text, severity) == 1) {
        LibraryMessage message {code, QString::fromLatin1(severity), 0, QString::fromLocal8Bit(text)};
        message.library = QStringLiteral("libisofs");
        messages.push_back(message);
    }
    return messages;
}

} // namespace Drives
