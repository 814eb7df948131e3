#pragma once

#include <QList>
#include <QString>

// Button codes of the message box.
enum MessageBoxResult { IDOK = 1, IDYES = 6, IDNO = 7 };

// kind 1: OK with the information icon; kind 2: Yes/No with the information icon, No the default
// (Enter and Escape answer No).
int ShowMessageBox(const QString &text, int kind);
// The same with the box's expandable details holding `detail` (none when it is empty).
int ShowMessageBox(const QString &text, int kind, const QString &detail);

// A question before something that cannot be undone: warning icon, Yes and No, No the default
// (Enter and Escape both answer No).
int ShowDangerQuestion(const QString &text);

// The platform's plain message: OK button, application title, no icon.
void ShowPlainMessage(const QString &text);

// Shows an error text the way the application's error box does ("." appended after a last
// character that sorts after ".").
void ShowErrorBox(const QString &message);
QString ErrorBoxText(const QString &message);

// Test seam: when enabled, no box is shown; texts are recorded and queued answers returned
// (OK for kind 1, No for kind 2 when nothing is queued).
namespace MessageBoxSeam {
struct Shown
{
    QString text;
    QString caption;
    int kind; // 1, 2; 0 for the error box, 3 for a plain message, 4 for a danger question
    QString detail = {}; // the expandable details, empty when the box has none
};
void enable();
void disable();
bool enabled();
void setNextAnswer(int code);
QList<Shown> takeShown();
const QList<Shown> &shown();
} // namespace MessageBoxSeam
