#pragma once

#include <QString>

#include <mutex>

// Process-wide set-up of libisofs and libburn, and the one lock around libisofs.
namespace EngineLibraries {
// libisofs is not safe when two threads work on images at once: every libisofs call holds this.
std::recursive_mutex &isoLock();
// Initialise once per process; safe to call again. False when the library cannot start.
bool ensureIsoInit();
bool ensureBurnInit();
// Run at exit before burn_finish: libburn must not be shut down while drives are held.
void setBeforeBurnFinish(void (*hook)());
} // namespace EngineLibraries

// Which drive letter reads from which device or file: filled by the drive scan, read by the image
// side when a source is "X:\*.*". Tests may bind a letter to an ISO file directly.
namespace DriveLetters {
void bind(QChar letter, const QString &devicePath);
void clear();
QString devicePath(QChar letter); // empty when the letter is not bound
} // namespace DriveLetters
