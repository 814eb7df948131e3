#pragma once

#include <QApplication>

// The application object: every error that leaves an event handler unhandled reaches the error box,
// and the program goes on with the next event.
class KestraneApplication final : public QApplication
{
    Q_OBJECT
public:
    KestraneApplication(int &argc, char **argv);
    bool notify(QObject *receiver, QEvent *event) override;
};
