#include "app/KestraneApplication.h"

#include "app/MessageBox.h"
#include "base/KestraneError.h"

#include <exception>

KestraneApplication::KestraneApplication(int &argc, char **argv)
    : QApplication(argc, argv)
{ }

bool KestraneApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const KestraneError &error) {
        ShowErrorBox(error.message());
    } catch (const std::exception &error) {
        ShowErrorBox(QString::fromLocal8Bit(error.what()));
    }
    return false;
}
