#pragma once

#include <QStringList>

// Hands a web address, a "mailto:" address or a local file to the desktop, which opens it with the
// user's default program. Nothing is reported when that fails or the file is missing.
void OpenDocument(const QString &target);

// Test seam: when enabled, targets are recorded instead of opened.
namespace ShellSeam {
void enable();
void disable();
QStringList takeOpened();
} // namespace ShellSeam
