#include "app/SettingsLocation.h"

#include <QDir>
#include <QFile>

#include <unistd.h>

QString UserConfigFolder()
{
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    // The base directory specification tells us to ignore a relative value.
    if (config.isEmpty() || !QDir::isAbsolutePath(config))
        config = QDir::homePath() + QStringLiteral("/.config");
    return config + QStringLiteral("/Kestrane/");
}

QString SettingsFolderFor(const QString &exeFolder)
{
    const QString folder = exeFolder.endsWith(QLatin1Char('/')) ? exeFolder : exeFolder + QLatin1Char('/');
    // access() asks the kernel, so read-only mounts and ACLs count as well as the mode bits.
    if (::access(QFile::encodeName(folder).constData(), W_OK) == 0)
        return folder;
    // Made now, so that the first save at close finds it; if it cannot be made, that save reports it.
    const QString config = UserConfigFolder();
    QDir().mkpath(config);
    return config;
}
