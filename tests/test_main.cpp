#include "app/KestraneApplication.h"
#include "app/MessageBox.h"

#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen") : qgetenv("QT_QPA_PLATFORM"));
    // No test reads the machine's own sticks: those that want sticks start a UDisks2 of their own.
    qputenv("KESTRANE_NO_STICKS", "1");
    ::testing::InitGoogleTest(&argc, argv);
    KestraneApplication app(argc, argv);
    MessageBoxSeam::enable();
    return RUN_ALL_TESTS();
}
