#include "app/GlobalSettings.h"

#include "app/SettingsLocation.h"
#include "settings/TIniFile32.h"

GlobalSettings &Globals()
{
    static GlobalSettings settings;
    return settings;
}

QString SettingsFilePath(const QString &purpose)
{
    const GlobalSettings &g = Globals();
    return g.ExeFolder + g.ProductFileStem + QLatin1Char('_') + purpose + QStringLiteral(".ini");
}

QString UserSettingsFilePath(const QString &purpose)
{
    const GlobalSettings &g = Globals();
    const QString &folder = g.SettingsFolder.isEmpty() ? g.ExeFolder : g.SettingsFolder;
    return folder + g.ProductFileStem + QLatin1Char('_') + purpose + QStringLiteral(".ini");
}

void InitProductSettings(const QString &exeFolder)
{
    GlobalSettings &g = Globals();
    g.ExeFolder = exeFolder.endsWith(QLatin1Char('/')) ? exeFolder : exeFolder + QLatin1Char('/');
    g.SettingsFolder = SettingsFolderFor(g.ExeFolder);
    g.ProductFileStem = QStringLiteral("Kestrane");
    const auto fillRest = [&g] {
        g.ProductTitle = QStringLiteral("Kestrane");
        g.MakerName = QStringLiteral("Varnholt");
        g.AboutVersionLine = QStringLiteral("Version:") + g.VersionText;
        g.AboutCaption = QStringLiteral("About");
        g.HomePageAddress = QStringLiteral("https://www.varnholt.example/kestrane");
        g.SupportMailAddress = QStringLiteral("support@varnholt.example");
        g.HelpFileName = QStringLiteral("/Help.html");
    };
    // An unreadable version file is reported by the caller; the record must be complete all the same.
    try {
        ReadVersionFile();
    } catch (...) {
        fillRest();
        throw;
    }
    fillRest();
}

void ReadVersionFile()
{
    // Defaults first, so a store error still leaves a usable record behind.
    Globals().VersionText = QStringLiteral("1.5");
    const TIniFile32 ini(SettingsFilePath(QStringLiteral("verdata")));
    Globals().VersionText =
        ini.ReadString(QStringLiteral("data"), QStringLiteral("version"), QStringLiteral("1.5"));
}

void ReadOptionFile()
{
    const TIniFile32 ini(UserSettingsFilePath(QStringLiteral("option")));
    Globals().ShowToolbar = ini.ReadBool(QStringLiteral("option"), QStringLiteral("ShowToolbar"), true);
    Globals().VerifyAfterBurning =
        ini.ReadBool(QStringLiteral("option"), QStringLiteral("VerifyAfterBurning"), false);
}

void WriteOptionFile()
{
    TIniFile32 ini(UserSettingsFilePath(QStringLiteral("option")));
    ini.WriteBool(QStringLiteral("option"), QStringLiteral("ShowToolbar"), Globals().ShowToolbar);
    ini.WriteBool(QStringLiteral("option"), QStringLiteral("ChangeSkin"), true);
    // A file whose box was never ticked keeps the layout it always had.
    if (Globals().VerifyAfterBurning ||
        !ini.ReadString(QStringLiteral("option"), QStringLiteral("VerifyAfterBurning"), QString()).isEmpty())
        ini.WriteBool(QStringLiteral("option"), QStringLiteral("VerifyAfterBurning"),
                      Globals().VerifyAfterBurning);
}

void ReadSkinSetting()
{
    const TIniFile32 ini(UserSettingsFilePath(QStringLiteral("skinfile")));
    Globals().SkinFile =
        ini.ReadString(QStringLiteral("data"), QStringLiteral("skinfile"), QStringLiteral("1"));
}

void WriteSkinSetting()
{
    TIniFile32 ini(UserSettingsFilePath(QStringLiteral("skinfile")));
    ini.WriteString(QStringLiteral("data"), QStringLiteral("skinfile"), Globals().SkinFile);
}
