#pragma once

#include <QList>
#include <QString>

class QWidget;

// The save and open file-name dialogs. `filter` is given as description|pattern pairs
// ("ISO Files(*.iso)|*.iso"), `defaultExt` as ".iso". When the user confirms a non-empty name,
// `fileName` becomes the full chosen path; otherwise it keeps its value. No overwrite confirmation,
// no check that the file exists, no initial folder.
void AskSaveFileName(const QString &filter, const QString &defaultExt, QString &fileName);
void AskOpenFileName(const QString &filter, const QString &defaultExt, QString &fileName);

// Makes the dialog both use, owned by `owner`, ahead of its first use (it is made at the first use
// otherwise).
void PrepareFileDialogs(QWidget *owner);

// The same filter in Qt's form, one "Description (patterns)" entry per pair.
QString QtFileDialogFilter(const QString &filter);

// Test seam: when enabled, no dialog is shown; each request is recorded and answered with the next
// queued name, an empty name standing for Cancel (also when nothing is queued).
namespace FileDialogSeam {
struct Asked
{
    bool save;
    QString filter;
    QString defaultExt;
};
void enable();
void disable();
bool enabled();
void setNextFileName(const QString &name);
QList<Asked> takeAsked();
} // namespace FileDialogSeam
