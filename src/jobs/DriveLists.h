#pragma once

#include <QObject>

#include <optional>

class QComboBox;
class QLineEdit;
class TDVDWriterPro2;

// The reader list of the CDTOISO page and the writer list of the BURNISO page, filled from the engine.
class DriveLists final : public QObject
{
    Q_OBJECT
public:
    enum Mode { EveryDrive = 1, WritersOnly = 2 };

    DriveLists(TDVDWriterPro2 *engine, QComboBox *CboCdList, QComboBox *CboCDRWList, QLineEdit *EdtSavePath,
               QObject *parent = nullptr);

    void FillDriveList(QComboBox *list, int mode);
    static int FindDriveIndex(const TDVDWriterPro2 *engine, const QString &letter);
    void CboCDRWListClick();
    // The letter of the recorder the burn page's list shows; empty when the list has no entry.
    QString chosenRecorderLetter() const;
    void ApplyWriteSpeed();
    // Page entry work; the caller shows the page's banner afterwards.
    void EnterCdToIsoPage();
    void EnterBurnIsoPage();

    // The speed multiple written with "%8.0f": nearest whole number, halves away from zero; none when the
    // drive reports no speed.
    static std::optional<int> WriteSpeedMultiple(int discType, int maxWriteSpeed);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    TDVDWriterPro2 *m_engine;
    QComboBox *m_cdList;
    QComboBox *m_cdrwList;
    QLineEdit *m_savePath;
};
