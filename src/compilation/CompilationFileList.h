#pragma once

#include "compilation/CompilationRoles.h"
#include "core/SizeTexts.h"
#include "engine/ImageItem.h"

#include <QIcon>
#include <QList>
#include <QObject>
#include <QString>

#include <cstdint>
#include <vector>

class QTreeWidget;
class QTreeWidgetItem;

// The file list of the FILETOISO page: a row per file of one folder of the image. Rows made while a
// Batch lives go in at once when the outermost batch ends, so that a big folder costs one view
// update; the rows of a background listing go in a slice per turn of the event loop.
class CompilationFileList final : public QObject, public CompilationRoles
{
    Q_OBJECT
public:
    class Batch;

    CompilationFileList(QTreeWidget *view, const QIcon &fileIcon, QObject *parent = nullptr);
    ~CompilationFileList() override;

    // A row for the file; inside a batch it waits for the batch's end.
    void addFile(const QString &name, qint64 size, const QString &destPath);
    // The rows of a background listing in place of those shown.
    void showListed(const std::vector<ImageItem> &items);
    // Rows of a background listing still going in.
    bool isInserting() const { return m_listedSerial != 0; }
    // Drops the rows of a background listing that have not gone in yet.
    void stopInserting();

private:
    void appendListedRows(uint64_t serial);
    void flush();

    QTreeWidget *m_view;
    QIcon m_fileIcon;
    int m_batchDepth = 0;
    QList<QTreeWidgetItem *> m_pendingRows;
    SizeTexts::Formatter m_sizeTexts; // the locale as the outermost batch began
    std::vector<ImageItem> m_listed;
    size_t m_listedNext = 0;
    uint64_t m_listedSerial = 0; // 0: none being inserted
};

class CompilationFileList::Batch final
{
public:
    explicit Batch(CompilationFileList &list)
        : m_list(list)
    {
        if (m_list.m_batchDepth++ == 0)
            m_list.m_sizeTexts = SizeTexts::Formatter();
    }
    ~Batch()
    {
        if (--m_list.m_batchDepth == 0)
            m_list.flush();
    }
    Batch(const Batch &) = delete;
    Batch &operator=(const Batch &) = delete;

private:
    CompilationFileList &m_list;
};
