#include "app/MessageBox.h"

#include "app/TestSeam.h"

#include "app/GlobalSettings.h"

#include <QApplication>
#include <QEventLoop>
#include <QMessageBox>
#include <QPointer>
#include <QQueue>
#include <QTimer>

namespace {

TestSeam<MessageBoxSeam::Shown, int> &seam()
{
    static TestSeam<MessageBoxSeam::Shown, int> state;
    return state;
}

QString applicationTitle()
{
    const QString title = Globals().ProductTitle;
    return title.isEmpty() ? QCoreApplication::applicationName() : title;
}

QWidget *ownerWindow()
{
    if (QWidget *active = QApplication::activeWindow())
        return active;
    const auto tops = QApplication::topLevelWidgets();
    for (QWidget *w : tops) {
        if (w->isVisible() && w->isWindow() && !w->inherits("QMenu"))
            return w;
    }
    return nullptr;
}

int recordInSeam(const QString &text, const QString &caption, int kind, int fallback,
                 const QString &detail = QString())
{
    // A real box runs a nested event loop while it is up: so does the stand-in, so that tests meet
    // what that loop does meanwhile (queued events, deferred deletes).
    QEventLoop loop;
    QTimer::singleShot(0, &loop, &QEventLoop::quit);
    loop.exec();
    return seam().record({text, caption, kind, detail}, fallback);
}

} // namespace

int ShowMessageBox(const QString &text, int kind)
{
    return ShowMessageBox(text, kind, QString());
}

int ShowMessageBox(const QString &text, int kind, const QString &detail)
{
    const QString caption = applicationTitle();
    if (seam().enabled())
        return recordInSeam(text, caption, kind, kind == 2 ? IDNO : IDOK, detail);

    QMessageBox box(QMessageBox::Information, caption, text,
                    kind == 2 ? (QMessageBox::Yes | QMessageBox::No) : QMessageBox::Ok, ownerWindow());
    box.setWindowModality(Qt::ApplicationModal);
    if (!detail.isEmpty())
        box.setDetailedText(detail);
    if (kind == 2) {
        // Return pressed twice must never say Yes to something the user did not read.
        box.setDefaultButton(QMessageBox::No);
        box.setEscapeButton(QMessageBox::No);
    }
    QPointer<QWidget> previous = QApplication::activeWindow();
    const int answer = box.exec();
    if (previous)
        previous->activateWindow();
    switch (answer) {
    case QMessageBox::Yes:
        return IDYES;
    case QMessageBox::No:
        return IDNO;
    default:
        return IDOK;
    }
}

int ShowDangerQuestion(const QString &text)
{
    const QString caption = applicationTitle();
    if (seam().enabled())
        return recordInSeam(text, caption, 4, IDNO);
    QMessageBox box(QMessageBox::Warning, caption, text, QMessageBox::Yes | QMessageBox::No, ownerWindow());
    box.setWindowModality(Qt::ApplicationModal);
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    QPointer<QWidget> previous = QApplication::activeWindow();
    const int answer = box.exec();
    if (previous)
        previous->activateWindow();
    return answer == QMessageBox::Yes ? IDYES : IDNO;
}

void ShowPlainMessage(const QString &text)
{
    const QString caption = applicationTitle();
    if (seam().enabled()) {
        recordInSeam(text, caption, 3, IDOK);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, ownerWindow());
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

QString ErrorBoxText(const QString &message)
{
    if (!message.isEmpty() && message.back() > QLatin1Char('.'))
        return message + QLatin1Char('.');
    return message;
}

void ShowErrorBox(const QString &message)
{
    const QString text = ErrorBoxText(message);
    const QString caption = applicationTitle();
    if (seam().enabled()) {
        recordInSeam(text, caption, 0, IDOK);
        return;
    }
    QMessageBox box(QMessageBox::Critical, caption, text, QMessageBox::Ok, ownerWindow());
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

namespace MessageBoxSeam {
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
void setNextAnswer(int code)
{
    seam().queueAnswer(code);
}
QList<Shown> takeShown()
{
    return seam().takeRequests();
}
const QList<Shown> &shown()
{
    return seam().requests();
}
} // namespace MessageBoxSeam
