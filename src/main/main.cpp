#include "app/KestraneApplication.h"
#include "main/Startup.h"
#include "widgets/FontConfigWarmUp.h"
#include "widgets/PictureReadAhead.h"

#include <QFileInfo>

int main(int argc, char **argv)
{
    // Started before the application, so that fonts and pictures are read while Qt connects to the
    // display.
    FontConfigWarmUp fonts;
    const QString programFolder =
        QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath() + QLatin1Char('/');
    PictureReadAhead readAhead(PictureReadAhead::startUpPictures(programFolder));
    KestraneApplication app(argc, argv);
    Startup startup(QCoreApplication::applicationDirPath(), QCoreApplication::applicationFilePath(),
                    app.arguments().mid(1));
    startup.run();
    // Every window is made and has its pictures.
    PictureReadAhead::discard();
    return app.exec();
}
