#pragma once

#include <QString>

// The image tree root's text: the volume label, two blanks and the image size in braces. The one
// rule for reading it back: the size group is the root text's last "{" to its end, so a label may
// hold braces of its own and still reaches the image whole.
namespace RootText {

// The label, "  {", the size text and "}".
QString compose(const QString &label, const QString &sizeText);

// After a label change: the new label, one blank and the current size group (the whole current
// text when it has none).
QString withNewLabel(const QString &label, const QString &currentText);

// The label an image gets: the text before the size group, without the blanks at its end.
QString label(const QString &text);

} // namespace RootText
