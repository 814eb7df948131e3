#pragma once

#include <QObject>
#include <QStringList>

#include <functional>
#include <optional>

class BurnIsoPage;
class CdToIsoPage;
class DriveThread;
class QComboBox;
class TDVDWriterPro2;

// The reader list of the CDTOISO page and the writer list of the BURNISO page, filled from the engine.
// The engine is asked on the drive thread: a list is emptied at once and filled when the answer
// arrives, and the steps after it follow in their order as their answers come.
class DriveLists final : public QObject
{
    Q_OBJECT
public:
    enum Mode { EveryDrive = 1, WritersOnly = 2 };
    // Runs when the asked steps have ended; false when a drive gave no answer in time (the user has
    // been told, and the steps after it were left out).
    using Then = std::function<void(bool answered)>;

    DriveLists(TDVDWriterPro2 *engine, DriveThread *drives, CdToIsoPage &cdPage, BurnIsoPage &burnPage,
               QObject *parent = nullptr);

    void FillDriveList(QComboBox *list, Mode mode, Then then = {});
    // The entries of a list, as the engine gives them; on the thread that makes the drive calls.
    static QStringList DriveEntries(const TDVDWriterPro2 *engine, Mode mode);
    static int FindDriveIndex(const TDVDWriterPro2 *engine, const QString &letter);
    void CboCDRWListClick(Then then = {});
    // The letter of the recorder chosen from the burn page's list (whatever is typed into its field);
    // empty when the list has no entry.
    QString chosenRecorderLetter() const;
    void ApplyWriteSpeed(Then then = {});
    // Page entry work; the caller shows the page's banner afterwards. The drive steps end later.
    void EnterCdToIsoPage(Then then = {});
    void EnterBurnIsoPage(Then then = {});

    // The speed multiple written with "%8.0f": nearest whole number, halves away from zero; none when the
    // drive reports no speed.
    static std::optional<int> WriteSpeedMultiple(int discType, int maxWriteSpeed);

Q_SIGNALS:
    // The drive steps of a page entry have ended (false: a drive gave no answer in time).
    void pageEntryEnded(bool answered);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Tells the user that the drive did not answer, then ends the steps.
    void notAnswered(const Then &then);
    // `then`, after the page entry's signal.
    Then entryEnd(Then then);

    TDVDWriterPro2 *m_engine;
    DriveThread *m_drives;
    CdToIsoPage &m_cdPage;
    BurnIsoPage &m_burnPage;
};
