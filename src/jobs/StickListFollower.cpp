#include "jobs/StickListFollower.h"

#include "engine/DriveThread.h"
#include "engine/TDVDWriterPro2.h"
#include "jobs/DriveLists.h"

#include <QComboBox>
#include <QTimer>

namespace {

// While a job holds the drives, the sticks are listed again this often until it has ended.
constexpr int RetryMs = 1000;

constexpr char RetryPending[] = "stickListRetryPending";

void follow(DriveLists *lists, DriveThread *drives, TDVDWriterPro2 *engine, QComboBox *list)
{
    // The registry is the drive thread's: the sticks are listed again there.
    drives->ask(
        lists, [engine] { return engine->RefreshSticks(); },
        [lists, drives, engine, list](std::optional<bool> refreshed) {
            if (!refreshed.value_or(false)) {
                if (lists->property(RetryPending).toBool())
                    return; // one retry at a time, however many plugs came meanwhile
                lists->setProperty(RetryPending, true);
                QTimer::singleShot(RetryMs, lists, [lists, drives, engine, list] {
                    lists->setProperty(RetryPending, false);
                    follow(lists, drives, engine, list);
                });
                return;
            }
            const QString shown = list->currentText();
            lists->FillDriveList(list, DriveLists::WritersOnly, [lists, list, shown](bool answered) {
                if (!answered)
                    return;
                const int keep = list->findText(shown);
                if (keep >= 0) {
                    const QSignalBlocker quiet(list);
                    list->setCurrentIndex(keep);
                }
                lists->CboCDRWListClick();
            });
        });
}

} // namespace

void FollowStickPlugging(DriveLists *lists, DriveThread *drives, TDVDWriterPro2 *engine,
                         QComboBox *CboCDRWList)
{
    QObject::connect(engine, &TDVDWriterPro2::OnDriveListChanged, lists,
                     [lists, drives, engine, CboCDRWList] { follow(lists, drives, engine, CboCDRWList); });
}
