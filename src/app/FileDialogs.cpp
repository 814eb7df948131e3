#include "app/FileDialogs.h"

#include "app/TestSeam.h"

#include <QApplication>
#include <QFileDialog>
#include <QQueue>
#include <QStringList>

namespace {

TestSeam<FileDialogSeam::Asked, QString> &seam()
{
    static TestSeam<FileDialogSeam::Asked, QString> state;
    return state;
}

void ask(bool save, const QString &filter, const QString &defaultExt, QString &fileName)
{
    QString chosen;
    if (seam().enabled()) {
        chosen = seam().record({save, filter, defaultExt}, QString());
    } else {
        QFileDialog dialog(QApplication::activeWindow());
        dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
        // An open dialog accepts any typed name: whether the file exists is the caller's business.
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
        dialog.setNameFilter(QtFileDialogFilter(filter));
        QString suffix = defaultExt;
        if (suffix.startsWith(QLatin1Char('.')))
            suffix.remove(0, 1);
        dialog.setDefaultSuffix(suffix);
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
            chosen = dialog.selectedFiles().constFirst();
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
