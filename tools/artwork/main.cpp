#include "Artwork.h"
#include "widgets/ArtworkFiles.h"

#include <QDir>
#include <QGuiApplication>

#include <cstdio>

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: kestrane-artwork PROGRAM_FOLDER [HICOLOR_FOLDER]\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(folder);
    bool ok = true;
    ok &= drawAppIcon(folder);
    for (const int scale : {1, ArtworkFiles::HighRatio}) {
        ok &= drawSplash(folder, scale);
        ok &= drawAboutPicture(folder, scale);
        const QImage skin = paintSkin(scale);
        ok &= drawSkin(folder, skin, scale);
        ok &= drawButtons(folder, skin, scale);
        ok &= drawBanners(folder, scale);
        ok &= drawPageLabels(folder, scale);
        ok &= drawImageList(folder, scale);
    }
    ok &= drawAnimations(folder);
    if (argc == 3)
        ok &= drawDesktopIcons(QString::fromLocal8Bit(argv[2]));
    if (!ok)
        std::fprintf(stderr, "kestrane-artwork: a picture could not be written into %s\n", argv[1]);
    return ok ? 0 : 1;
}
