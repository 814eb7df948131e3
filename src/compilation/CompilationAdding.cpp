#include "compilation/CompilationPage.h"

#include "app/MessageBox.h"
#include "base/KestraneError.h"
#include "compilation/TFrmFilesSelect.h"
#include "core/BackgroundAdd.h"

#include <QDateTime>
#include <QProgressBar>
#include <QTimer>
#include <QTreeWidget>

#include <exception>
#include <memory>

namespace {

const QString StillAdding =
    QStringLiteral("Files are still being added to the image. Please wait until this is finished.");
// Work that ends sooner shows only the busy cursor.
constexpr qint64 ProgressAfterMs = 400;
constexpr int ProgressBarHeight = 17;

} // namespace

bool CompilationPage::isAdding() const
{
    return m_adding->isRunning();
}

bool CompilationPage::refuseWhileAdding() const
{
    if (!isAdding())
        return false;
    ShowMessageBox(StillAdding, 1);
    return true;
}

void CompilationPage::CancelAdding()
{
    m_adding->cancel();
}

void CompilationPage::startAdding(const std::function<void(BackgroundAdd &)> &work,
                                  const std::function<void()> &done)
{
    for (QWidget *window : {m_c.MainForm, static_cast<QWidget *>(m_c.FrmFilesSelect)}) {
        if (window)
            window->setCursor(Qt::WaitCursor);
    }
    m_addingStartedMs = QDateTime::currentMSecsSinceEpoch();
    m_progressDone = 0;
    m_progressTotal = 0;
    // Work that reports nothing for a while (one big folder) still gets its bar.
    QTimer::singleShot(ProgressAfterMs + 10, this, [this] {
        if (isAdding())
            addingProgress(m_progressDone, m_progressTotal);
    });
    BackgroundAdd::Handlers handlers;
    handlers.reset = [this] {
        deleteNodesBelowRoot();
    };
    handlers.items = [this](const QList<ImageItem> &items) {
        for (const ImageItem &item : items)
            DVDWriterPro21ISOItemAdded(item.parentDest, item.itemDest, item.name, item.sourcePath,
                                       item.isDirectory, item.date, item.size);
        // The new folders show while the work goes on.
        if (QTreeWidgetItem *top = root())
            top->setExpanded(true);
    };
    handlers.progress = [this](qint64 doneCount, qint64 total) {
        addingProgress(doneCount, total);
    };
    handlers.finished = [this, done] {
        if (m_progress)
            m_progress->hide();
        for (QWidget *window : {m_c.MainForm, static_cast<QWidget *>(m_c.FrmFilesSelect)}) {
            if (window)
                window->unsetCursor();
        }
        done();
        Q_EMIT AddingFinished();
    };
    m_adding->start(work, handlers);
}

void CompilationPage::addingProgress(qint64 done, qint64 total)
{
    m_progressDone = done;
    m_progressTotal = total;
    if (QDateTime::currentMSecsSinceEpoch() - m_addingStartedMs < ProgressAfterMs)
        return;
    QWidget *list = m_c.LsviewFile;
    if (!m_progress) {
        // As the burn page's bar: thin and without text, here over the foot of the file list.
        m_progress = new QProgressBar(list);
        m_progress->setObjectName(QStringLiteral("PsBarAddFiles"));
        m_progress->setTextVisible(false);
    }
    m_progress->setGeometry(0, list->height() - ProgressBarHeight, list->width(), ProgressBarHeight);
    if (total > 0) {
        m_progress->setRange(0, 1000);
        m_progress->setValue(static_cast<int>(done * 1000 / total));
    } else {
        m_progress->setRange(0, 0); // how much is left is not known: the bar runs to and fro
    }
    m_progress->show();
    m_progress->raise();
}

void CompilationPage::runPickerAdds(const std::function<void()> &adds,
                                    const std::function<void()> &afterSuccess)
{
    if (refuseWhileAdding())
        return;
    auto failure = std::make_shared<QString>();
    auto failed = std::make_shared<bool>(false);
    startAdding(
        [adds, failure, failed](BackgroundAdd &job) {
            try {
                adds();
            } catch (const KestraneError &error) {
                *failed = true;
                *failure = error.message();
            } catch (const std::exception &error) {
                *failed = true;
                *failure = QString::fromLocal8Bit(error.what());
            }
            job.reportProgress(1, 1);
        },
        [this, failure, failed, afterSuccess] {
            // An error ends the add where it happened; the page is not refreshed then.
            if (*failed) {
                ShowErrorBox(*failure);
                return;
            }
            bool refreshed = false;
            guarded([this, &refreshed] {
                RefreshCompilation();
                refreshed = true;
            });
            if (refreshed && afterSuccess)
                afterSuccess();
        });
}
