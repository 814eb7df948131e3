#include "compilation/CompilationPage.h"

#include "app/FileDialogs.h"
#include "app/MessageBox.h"
#include "compilation/ListFile.h"
#include "engine/TDVDWriterPro2.h"
#include "settings/KestraneError.h"

#include <QFile>
#include <QSaveFile>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

namespace {

const QString ListFileFilter = QStringLiteral("ISO List File(*.mst)|*.mst");
const QString NotAListFile =
    QStringLiteral("The list file is not accord with the standard fomrat. Please select another one again.");
const QString LoadError = QStringLiteral("File load error, please redo it.");

} // namespace

// A loaded list goes to the engine; the tree grows again from the engine's events.
class CompilationPage::PageListSink final : public ListFile::Sink
{
public:
    explicit PageListSink(CompilationPage &page)
        : m_page(page)
    { }
    void reset() override
    {
        m_reset = true;
        m_page.m_c.DVDWriterPro21->ResetImage();
        m_page.deleteNodesBelowRoot();
    }
    void addFolder(const QString &destFolder, const QString &source) override
    {
        m_page.m_c.DVDWriterPro21->AddFolder(destFolder, source);
    }
    bool wasReset() const { return m_reset; }

private:
    CompilationPage &m_page;
    bool m_reset = false;
};

void CompilationPage::ActSaveFileListExecute()
{
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
    guarded([this] {
        QString fileName;
        AskOpenFileName(ListFileFilter, QStringLiteral(".mst"), fileName);
        if (fileName.isEmpty())
            return;
        QFile file(fileName);
        ListFile::LoadResult result = ListFile::LoadResult::LoadError;
        QString problem;
        PageListSink sink(*this);
        if (file.open(QIODevice::ReadOnly))
            result = ListFile::load(file, sink, &problem);
        else
            problem = QStringLiteral("Cannot open \"%1\": %2").arg(fileName, file.errorString());
        switch (result) {
        case ListFile::LoadResult::NotAListFile:
            ShowMessageBox(NotAListFile, 1);
            return;
        case ListFile::LoadResult::LoadError:
            ShowMessageBox(LoadError, 1, problem);
            // The engine may hold part of the list by now: the page shows what the image really
            // holds, so that what the user sees is what Make ISO would write.
            if (sink.wasReset())
                showImageAfterFailedLoad();
            return;
        case ListFile::LoadResult::Loaded:
            break;
        }
        try {
            RefreshCompilation();
        } catch (const KestraneError &error) {
            ShowMessageBox(LoadError, 1, error.message());
        }
    });
}

void CompilationPage::showImageAfterFailedLoad()
{
    try {
        RefreshCompilation();
    } catch (const KestraneError &) {
        // The engine that refused a line refuses the refresh too: the views show no stale rows.
        m_c.LsviewFile->clear();
    }
}
