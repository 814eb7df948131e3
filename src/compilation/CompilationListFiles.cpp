#include "compilation/CompilationPage.h"

#include "core/FolderLister.h"

#include "app/FileDialogs.h"
#include "app/MessageBox.h"
#include "base/KestraneError.h"
#include "core/BackgroundAdd.h"
#include "core/ListFile.h"
#include "engine/TDVDWriterPro2.h"

#include <QFile>
#include <QSaveFile>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include <exception>
#include <memory>

namespace {

const QString ListFileFilter = QStringLiteral("ISO List File(*.mst)|*.mst");
const QString NotAListFile =
    QStringLiteral("The list file is not accord with the standard fomrat. Please select another one again.");
const QString LoadError = QStringLiteral("File load error, please redo it.");

} // namespace

// A loaded list goes to the engine on the adding thread; the tree grows again from the items the
// engine reports, which reach the page in batches.
class CompilationPage::PageListSink final : public ListFile::Sink
{
public:
    PageListSink(TDVDWriterPro2 &engine, BackgroundAdd &job)
        : m_engine(engine)
        , m_job(job)
    { }
    void expect(qsizetype lines) override { m_total = lines; }
    void reset() override
    {
        m_reset = true;
        // Until the last line is in, the compilation the user had is kept aside.
        m_engine.KeepImage();
        m_engine.ResetImage();
        m_job.reportReset();
    }
    void addFolder(const QString &destFolder, const QString &source) override
    {
        if (m_job.isCancelled()) {
            m_cancelled = true;
            throw KestraneError(QStringLiteral("The load was cancelled."));
        }
        m_engine.AddFolderReporting(destFolder, source, [this](const ImageItem &item) {
            if (item.isDirectory)
                m_job.reportItem(item);
        });
        m_job.reportProgress(++m_done, m_total);
    }
    bool wasReset() const { return m_reset; }
    bool wasCancelled() const { return m_cancelled; }

private:
    TDVDWriterPro2 &m_engine;
    BackgroundAdd &m_job;
    qint64 m_total = 0;
    qint64 m_done = 0;
    bool m_reset = false;
    bool m_cancelled = false;
};

// What a load on the adding thread found, for the page once it has ended.
struct CompilationPage::LoadOutcome
{
    ListFile::LoadResult result = ListFile::LoadResult::LoadError;
    QString problem;
    bool reset = false;
    bool cancelled = false;
};

void CompilationPage::ActSaveFileListExecute()
{
    if (refuseWhileAdding())
        return;
    guarded([this] {
        QStringList ownBuffer;
        QStringList &buffer = m_c.FileListBuffer ? *m_c.FileListBuffer : ownBuffer;
        buffer.clear();
        {
            // Every node's files, top to bottom: each gives its line, and its row to the file list.
            const RowBatch batch(*this);
            QStringList paths;
            for (QTreeWidgetItemIterator it(m_c.TsListDir); *it; ++it)
                paths.append((*it)->data(0, DestPathRole).toString());
            buffer = m_model.listFileLines(paths, [this](const ImageItem &file) {
                DVDWriterPro21EnumISOItems(file.parentDest, file.itemDest, file.name, file.sourcePath,
                                           file.isDirectory, file.date, file.size);
            });
        }
        QString fileName;
        AskSaveFileName(ListFileFilter, QStringLiteral(".txt"), fileName);
        if (!fileName.isEmpty()) {
            // Written aside and renamed over the old file: a failed write leaves no half list.
            QSaveFile file(fileName);
            const QByteArray bytes = ListFile::encode(buffer);
            if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
                throw KestraneError(
                    QStringLiteral("Cannot create file \"%1\". %2").arg(fileName, file.errorString()));
        }
        TsListDirClick();
    });
}

void CompilationPage::ActLoadFileListExecute()
{
    if (refuseWhileAdding())
        return;
    guarded([this] {
        QString fileName;
        AskOpenFileName(ListFileFilter, QStringLiteral(".mst"), fileName);
        if (fileName.isEmpty())
            return;
        auto outcome = std::make_shared<LoadOutcome>();
        TDVDWriterPro2 *engine = m_c.DVDWriterPro21;
        // Reading the file and adding its lines both run away from the UI thread: a list of
        // 100,000 files takes seconds.
        startAdding(
            [engine, fileName, outcome](BackgroundAdd &job) {
                QFile file(fileName);
                PageListSink sink(*engine, job);
                try {
                    if (ListFile::open(file, &outcome->problem))
                        outcome->result = ListFile::load(file, sink, &outcome->problem);
                } catch (const std::exception &error) {
                    outcome->result = ListFile::LoadResult::LoadError;
                    outcome->problem = QString::fromLocal8Bit(error.what());
                }
                outcome->reset = sink.wasReset();
                outcome->cancelled = sink.wasCancelled();
            },
            [this, outcome] { guarded([this, outcome] { endLoad(*outcome); }); });
    });
}

void CompilationPage::endLoad(const LoadOutcome &outcome)
{
    const bool loaded = outcome.result == ListFile::LoadResult::Loaded && !outcome.cancelled;
    if (!loaded && outcome.reset)
        restoreImageBeforeLoad();
    else
        m_c.DVDWriterPro21->DropKeptImage();
    if (outcome.cancelled)
        return;
    switch (outcome.result) {
    case ListFile::LoadResult::NotAListFile:
        ShowMessageBox(NotAListFile, 1);
        return;
    case ListFile::LoadResult::LoadError:
        ShowMessageBox(LoadError, 1, outcome.problem);
        return;
    case ListFile::LoadResult::Loaded:
        break;
    }
    try {
        RefreshCompilation();
    } catch (const KestraneError &error) {
        ShowMessageBox(LoadError, 1, error.message());
    }
}

void CompilationPage::restoreImageBeforeLoad()
{
    // A load either completes or leaves the compilation exactly as it was: the image comes back
    // whole, and the tree grows again from what it holds.
    m_c.DVDWriterPro21->RestoreKeptImage();
    deleteNodesBelowRoot();
    try {
        addFolderNodes(QStringLiteral("\\"));
        RefreshCompilation();
    } catch (const KestraneError &) {
        // The engine that refused a line refuses the refresh too: the views show no stale rows.
        stopListing();
        m_c.LsviewFile->clear();
    }
}

void CompilationPage::addFolderNodes(const QString &destPath)
{
    for (const ImageItem &item : m_c.DVDWriterPro21->ListItems(destPath)) {
        if (!item.isDirectory)
            continue;
        DVDWriterPro21ISOItemAdded(item.parentDest, item.itemDest, item.name, item.sourcePath, true,
                                   item.date, item.size);
        addFolderNodes(item.itemDest);
    }
}
