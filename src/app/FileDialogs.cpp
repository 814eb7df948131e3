#include "app/FileDialogs.h"

#include "app/TestSeam.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCompleter>
#include <QFileDialog>
#include <QLineEdit>
#include <QPointer>
#include <QQueue>
#include <QStringList>

namespace {

TestSeam<FileDialogSeam::Asked, QString> &seam()
{
    static TestSeam<FileDialogSeam::Asked, QString> state;
    return state;
}

// One dialog for the whole run, made once and hidden between uses: making one looks up a dozen theme
// icons and sets up a folder model, which would stall the window each time a dialog opens.
QPointer<QFileDialog> &shared()
{
    static QPointer<QFileDialog> dialog;
    return dialog;
}

QFileDialog &dialogFor(QWidget *owner)
{
    QPointer<QFileDialog> &dialog = shared();
    if (!dialog)
        dialog = new QFileDialog(owner);
    else if (owner && dialog->parentWidget() != owner)
        dialog->setParent(owner, dialog->windowFlags());
    return *dialog;
}

void ask(bool save, const QString &filter, const QString &defaultExt, QString &fileName)
{
    QString chosen;
    if (seam().enabled()) {
        chosen = seam().record({save, filter, defaultExt}, QString());
    } else {
        QFileDialog &dialog = dialogFor(QApplication::activeWindow());
        dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
        // An open dialog accepts any typed name: whether the file exists is the caller's business.
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
        dialog.setNameFilter(QtFileDialogFilter(filter));
        QString suffix = defaultExt;
        if (suffix.startsWith(QLatin1Char('.')))
            suffix.remove(0, 1);
        dialog.setDefaultSuffix(suffix);
        // The name chosen last time is not offered again.
        if (auto *name = dialog.findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
            name->clear();
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
            chosen = dialog.selectedFiles().constFirst();
        // The name completer's list may still be up when Return closes the dialog: a dialog made for
        // one use took it along, the kept one must close it.
        for (QCompleter *completer : dialog.findChildren<QCompleter *>()) {
            if (completer->popup())
                completer->popup()->hide();
        }
    }
    if (!chosen.isEmpty())
        fileName = chosen;
}

} // namespace

QString QtFileDialogFilter(const QString &filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList entries;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        const QString description = parts[i].trimmed();
        QString patterns = parts[i + 1].trimmed();
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        // "ISO Files(*.iso)" already names its pattern the way Qt reads it.
        if (description.endsWith(QLatin1Char('(') + patterns + QLatin1Char(')')))
            entries.append(description);
        else
            entries.append(description + QStringLiteral(" (") + patterns + QLatin1Char(')'));
    }
    return entries.join(QStringLiteral(";;"));
}

void PrepareFileDialogs(QWidget *owner)
{
    if (!seam().enabled())
        dialogFor(owner);
}

void AskSaveFileName(const QString &filter, const QString &defaultExt, QString &fileName)
{
    ask(true, filter, defaultExt, fileName);
}

void AskOpenFileName(const QString &filter, const QString &defaultExt, QString &fileName)
{
    ask(false, filter, defaultExt, fileName);
}

namespace FileDialogSeam {
void enable()
{
    seam().enable();
}
void disable()
{
    seam().disable();
}
bool enabled()
{
    return seam().enabled();
}
void setNextFileName(const QString &name)
{
    seam().queueAnswer(name);
}
QList<Asked> takeAsked()
{
    return seam().takeRequests();
}
} // namespace FileDialogSeam
