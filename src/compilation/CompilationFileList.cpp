#include "compilation/CompilationFileList.h"

#include <QTimer>
#include <QTreeWidget>

#include <algorithm>

namespace {

// A file row keeps its texts as fields and answers the view from them: a big folder's rows cost
// one allocation each instead of one per role.
class FileRow final : public QTreeWidgetItem, public CompilationRoles
{
public:
    FileRow(const QString &name, QString size, const QString &destPath, const QIcon &icon)
        : QTreeWidgetItem(UserType)
        , m_name(name)
        , m_size(std::move(size))
        , m_destPath(destPath)
        , m_icon(icon)
    { }

    QVariant data(int column, int role) const override
    {
        if (column == 0) {
            switch (role) {
            case Qt::DisplayRole:
            case Qt::EditRole:
            case Qt::ToolTipRole:
                return m_name;
            case Qt::DecorationRole:
                return m_icon;
            case DestPathRole:
                return m_destPath;
            case PictureRole:
                return 3;
            default:
                break;
            }
        } else if (column == 1) {
            if (role == Qt::DisplayRole || role == Qt::EditRole)
                return m_size;
            if (role == Qt::TextAlignmentRole)
                return QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter));
        }
        return QTreeWidgetItem::data(column, role);
    }

private:
    QString m_name;
    QString m_size;
    QString m_destPath;
    QIcon m_icon;
};

} // namespace

CompilationFileList::CompilationFileList(QTreeWidget *view, const QIcon &fileIcon, QObject *parent)
    : QObject(parent)
    , m_view(view)
    , m_fileIcon(fileIcon)
{ }

CompilationFileList::~CompilationFileList()
{
    qDeleteAll(m_pendingRows);
}

void CompilationFileList::addFile(const QString &name, qint64 size, const QString &destPath)
{
    QString sizeText = m_batchDepth > 0 ? m_sizeTexts.kilobytes(size) : SizeTexts::kilobytes(size);
    auto *row = new FileRow(name, std::move(sizeText), destPath, m_fileIcon);
    if (m_batchDepth > 0)
        m_pendingRows.append(row);
    else
        m_view->addTopLevelItem(row);
}

void CompilationFileList::stopInserting()
{
    m_listedSerial = 0;
    m_listed.clear();
}

void CompilationFileList::showListed(const std::vector<ImageItem> &items)
{
    m_view->clear();
    m_listed = items;
    m_listedNext = 0;
    static uint64_t serials = 0;
    m_listedSerial = ++serials;
    appendListedRows(m_listedSerial);
}

void CompilationFileList::appendListedRows(uint64_t serial)
{
    if (serial != m_listedSerial)
        return; // overtaken by another listing, or the list was emptied
    // A slice per turn of the event loop: 50,000 rows made and inserted at once would hold the window
    // for a good part of a second.
    constexpr size_t RowsPerTurn = 2000;
    {
        const Batch batch(*this);
        const size_t end = std::min(m_listed.size(), m_listedNext + RowsPerTurn);
        for (; m_listedNext < end; ++m_listedNext) {
            const ImageItem &item = m_listed[m_listedNext];
            if (!item.isDirectory)
                m_pendingRows.append(
                    new FileRow(item.name, m_sizeTexts.kilobytes(item.size), item.itemDest, m_fileIcon));
        }
    }
    if (m_listedNext < m_listed.size()) {
        QTimer::singleShot(0, this, [this, serial] { appendListedRows(serial); });
        return;
    }
    m_listed.clear();
    m_listedSerial = 0;
}

void CompilationFileList::flush()
{
    if (m_pendingRows.isEmpty())
        return;
    QList<QTreeWidgetItem *> rows;
    rows.swap(m_pendingRows);
    m_view->addTopLevelItems(rows);
}
