#include "app/KestraneApplication.h"
#include "main/Startup.h"

int main(int argc, char **argv)
{
    KestraneApplication app(argc, argv);
    Startup startup(QCoreApplication::applicationDirPath(), QCoreApplication::applicationFilePath(),
                    app.arguments().mid(1));
    startup.run();
    return app.exec();
}
