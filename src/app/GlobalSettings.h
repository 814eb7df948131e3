#pragma once

#include <QString>

// The program-wide settings record, filled once at start-up.
struct GlobalSettings
{
    QString ProductFileStem;
    QString ProductTitle;
    QString MakerName;
    QString VersionText;
    QString AboutVersionLine;
    QString AboutCaption;
    QString HomePageAddress;
    QString SupportMailAddress;
    QString HelpFileName;
    QString ExeFolder; // ends in '/'
    QString ExePath;
    bool FirstRun = true;
    bool SplashEnabled = true;
    bool FirstShow = true;
    // Persisted state, held from start-up to close. Kept so that the settings files keep their
    // keys from run to run; nothing else reads them (there is no toolbar and one skin).
    bool ShowToolbar = true;
    QString SkinFile = QStringLiteral("1");
};

GlobalSettings &Globals();

void InitProductSettings(const QString &exeFolder);
void ReadVersionFile();
void ReadOptionFile();
void WriteOptionFile();
void ReadSkinSetting();
void WriteSkinSetting();
// The above each read or write one settings file; store errors propagate to the caller.
// The path of the settings file for `purpose`: "<ExeFolder><ProductFileStem>_<purpose>.ini".
QString SettingsFilePath(const QString &purpose);
