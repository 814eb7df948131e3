#include "app/KestraneApplication.h"

#include "app/MessageBox.h"
#include "base/ErrorText.h"

#include <exception>

KestraneApplication::KestraneApplication(int &argc, char **argv)
    : QApplication(argc, argv)
{ }

bool KestraneApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception &error) {
        ShowErrorBox(ErrorText(error));
    }
    return false;
}
