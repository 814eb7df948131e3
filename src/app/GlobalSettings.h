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
    // Where the option and skin files live (ends in '/'); empty means ExeFolder.
    QString SettingsFolder;
    QString ExePath;
    bool FirstRun = true;
    bool SplashEnabled = true;
    bool FirstShow = true;
    // Persisted state, held from start-up to close. Kept so that the settings files keep their
    // keys from run to run; nothing else reads them (there is no toolbar and one skin).
    bool ShowToolbar = true;
    QString SkinFile = QStringLiteral("1");
    // The burn page's "Verify after burning", kept in the option file.
    bool VerifyAfterBurning = false;
};

GlobalSettings &Globals();

void InitProductSettings(const QString &exeFolder);
void ReadVersionFile();
void ReadOptionFile();
void WriteOptionFile();
void ReadSkinSetting();
void WriteSkinSetting();
// Each reads or writes one settings file; store errors propagate to the caller. The version file
// ships with the program in ExeFolder; the option and skin files are the user's, in SettingsFolder.
QString SettingsFilePath(const QString &purpose);
QString UserSettingsFilePath(const QString &purpose);
