#pragma once

#include <QString>

// The image tree root's text: the volume label, two blanks and the image size in braces. It is
// only ever composed from the label and the size text; nothing reads a label back out of it.
namespace RootText {

// The label, "  {", the size text and "}".
QString compose(const QString &label, const QString &sizeText);

// Right after a label change: the new label, one blank and the size in braces, until the next
// size update writes two blanks again.
QString afterLabelChange(const QString &label, const QString &sizeText);

} // namespace RootText
