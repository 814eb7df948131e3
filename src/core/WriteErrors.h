#pragma once

#include <QString>

// Puts the engine's write and erase errors into words.
QString DriveErrorText(int code);
QString ComposeWriteErrorText(int WriteError, int DriveError, const QString &sErrorInfo,
                              const QString &sSenseInfo);
