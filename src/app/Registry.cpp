#include "app/Registry.h"

#include "app/GlobalSettings.h"
#include "app/SettingsLocation.h"
#include "base/KestraneError.h"
#include "base/StdErr.h"
#include "settings/TIniFile32.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

const QString kSection = QStringLiteral("HKEY_LOCAL_MACHINE\\Software\\Kestrane");

// Opening the key "with creation allowed": the folder is made when missing.
bool openKeyFolder()
{
    return QDir().mkpath(QFileInfo(RegistryFilePath()).absolutePath());
}

void reportRegistryProblem(const QString &message)
{
    // Start-up goes on without the registry; nothing the user must act on, so no box.
    StdErr::line(QStringLiteral("kestrane: registry: ") + message);
}

} // namespace

QString RegistryFilePath()
{
    return UserConfigFolder() + QStringLiteral("registry.ini");
}

void RecordFirstRun()
{
    GlobalSettings &g = Globals();
    g.FirstRun = true;
    try {
        if (!openKeyFolder()) {
            reportRegistryProblem(QStringLiteral("cannot create the folder of %1").arg(RegistryFilePath()));
            return;
        }
        TIniFile32 key(RegistryFilePath());
        if (key.ReadString(kSection, QStringLiteral("FirstRun"), QString()) == QLatin1String("false")) {
            g.FirstRun = false;
            return;
        }
        key.WriteString(kSection, QStringLiteral("FirstRun"), QStringLiteral("false"));
    } catch (const KestraneError &error) {
        reportRegistryProblem(error.message());
    }
}

void RecordExecutablePath()
{
    try {
        if (!openKeyFolder())
            return;
        TIniFile32 key(RegistryFilePath());
        key.WriteString(kSection, QStringLiteral("Path"), Globals().ExePath);
    } catch (const KestraneError &error) {
        reportRegistryProblem(error.message());
    }
}
