#include "compilation/TFrmFilesSelect.h"

#include "app/GlobalSettings.h"
#include "widgets/ImageList.h"

#include <QAction>
#include <QActionGroup>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QPushButton>
#include <QStackedWidget>
#include <QToolButton>
#include <QTreeView>

#include <algorithm>

TFrmFilesSelect::TFrmFilesSelect(QWidget *parent)
    : QDialog(parent,
              Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                  Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("FrmFilesSelect"));
    setWindowTitle(QStringLiteral("Select Files and Folders"));
    setFixedSize(488, 271);

    m_model = new QFileSystemModel(this);
    // Hidden entries are not listed; "." and ".." neither.
    m_model->setFilter(QDir::AllDirs | QDir::Files | QDir::Drives | QDir::NoDotAndDotDot);
    // The picker only picks: no rename, no delete, no drag that moves the user's files.
    m_model->setReadOnly(true);
    m_model->setResolveSymlinks(false);

    buildLocationBar();
    buildViews();

    BtnAdd = new QPushButton(QStringLiteral("Add"), this);
    BtnAdd->setObjectName(QStringLiteral("BtnAdd"));
    BtnAdd->setGeometry(304, 240, 75, 25);
    BtnAdd->setAutoDefault(false);
    BtnFinished = new QPushButton(QStringLiteral("Close"), this);
    BtnFinished->setObjectName(QStringLiteral("BtnFinished"));
    BtnFinished->setGeometry(392, 240, 75, 25);
    BtnFinished->setAutoDefault(false);
    connect(BtnAdd, &QPushButton::clicked, this, &TFrmFilesSelect::BtnAddClick);
    connect(BtnFinished, &QPushButton::clicked, this, &TFrmFilesSelect::BtnFinishedClick);

    // Reading the home folder and looking up its icons waits for the first show: made at start-up, the
    // picker would otherwise hold up the main window's appearance.
    m_folder = QDir::homePath();
    Details1Click();
}

void TFrmFilesSelect::showEvent(QShowEvent *event)
{
    if (!m_listed)
        setCurrentFolder(m_folder);
    QDialog::showEvent(event);
}

TFrmFilesSelect::~TFrmFilesSelect() = default;

void TFrmFilesSelect::buildLocationBar()
{
    const QList<QIcon> pictures = LoadImageList(Globals().ExeFolder);

    Label1 = new QLabel(QStringLiteral("Location"), this);
    Label1->move(8, 16);
    Label1->adjustSize();

    ShellDeviceBox = new QComboBox(this);
    ShellDeviceBox->setObjectName(QStringLiteral("ShellDeviceBox"));
    ShellDeviceBox->setGeometry(59, 12, 350, 22);
    ShellDeviceBox->setMaxVisibleItems(8);
    Label1->setBuddy(ShellDeviceBox);
    connect(ShellDeviceBox, &QComboBox::activated, this,
            [this](int index) { setCurrentFolder(ShellDeviceBox->itemData(index).toString()); });

    SpeedButton1 = new QToolButton(this);
    SpeedButton1->setObjectName(QStringLiteral("SpeedButton1"));
    SpeedButton1->setGeometry(418, 12, 23, 22);
    SpeedButton1->setAutoRaise(true);
    if (pictures.size() > 4)
        SpeedButton1->setIcon(pictures[4]);
    SpeedButton1->setToolTip(QStringLiteral("Up One Level"));
    SpeedButton1->setAccessibleName(SpeedButton1->toolTip());
    connect(SpeedButton1, &QToolButton::clicked, this, &TFrmFilesSelect::SpeedButton1Click);

    PopupMenu1 = new QMenu(this);
    auto *styles = new QActionGroup(this);
    styles->setExclusive(true);
    auto addStyle = [&](const QString &text, void (TFrmFilesSelect::*handler)()) {
        QAction *action = PopupMenu1->addAction(text);
        action->setCheckable(true);
        styles->addAction(action);
        connect(action, &QAction::triggered, this, handler);
        return action;
    };
    LargeIcons1 = addStyle(QStringLiteral("Large Icons"), &TFrmFilesSelect::LargeIcons1Click);
    SmallIcons1 = addStyle(QStringLiteral("Small Icons"), &TFrmFilesSelect::SmallIcons1Click);
    List1 = addStyle(QStringLiteral("List"), &TFrmFilesSelect::List1Click);
    Details1 = addStyle(QStringLiteral("Details"), &TFrmFilesSelect::Details1Click);

    ToolButton1 = new QToolButton(this);
    ToolButton1->setObjectName(QStringLiteral("ToolButton1"));
    ToolButton1->setGeometry(442, 12, 37, 22);
    ToolButton1->setAutoRaise(true);
    ToolButton1->setPopupMode(QToolButton::InstantPopup);
    ToolButton1->setMenu(PopupMenu1);
    if (pictures.size() > 5)
        ToolButton1->setIcon(pictures[5]);
    ToolButton1->setToolTip(QStringLiteral("View"));
    ToolButton1->setAccessibleName(ToolButton1->toolTip());
}

void TFrmFilesSelect::buildViews()
{
    m_stack = new QStackedWidget(this);
    m_stack->setObjectName(QStringLiteral("ShellListView"));
    m_stack->setGeometry(8, 40, 473, 193);

    m_listView = new QListView(m_stack);
    m_listView->setModel(m_model);
    m_listView->setResizeMode(QListView::Adjust);
    m_listView->setWrapping(true);
    m_listView->setUniformItemSizes(false);

    m_detailsView = new QTreeView(m_stack);
    m_detailsView->setModel(m_model);
    m_detailsView->setRootIsDecorated(false);
    m_detailsView->setItemsExpandable(false);
    m_detailsView->setExpandsOnDoubleClick(false);
    m_detailsView->setUniformRowHeights(true);
    m_detailsView->setSortingEnabled(false);
    m_detailsView->header()->setStretchLastSection(false);
    m_detailsView->setColumnWidth(0, 200);

    // One selection for both views, so a change of style keeps what is selected.
    QItemSelectionModel *own = m_detailsView->selectionModel();
    m_detailsView->setSelectionModel(m_listView->selectionModel());
    delete own;

    for (QAbstractItemView *view :
         {static_cast<QAbstractItemView *>(m_listView), static_cast<QAbstractItemView *>(m_detailsView)}) {
        view->setSelectionMode(QAbstractItemView::ExtendedSelection);
        view->setEditTriggers(QAbstractItemView::NoEditTriggers);
        view->setDragEnabled(false);
        view->setAcceptDrops(false);
        view->setDragDropMode(QAbstractItemView::NoDragDrop);
        view->setContextMenuPolicy(Qt::CustomContextMenu);
        view->setAccessibleName(QStringLiteral("Files and folders"));
        view->installEventFilter(this);
        connect(view, &QAbstractItemView::doubleClicked, this, &TFrmFilesSelect::openItem);
        connect(view, &QWidget::customContextMenuRequested, this,
                [this, view](const QPoint &pos) { showItemMenu(view, pos); });
        m_stack->addWidget(view);
    }
}

QAbstractItemView *TFrmFilesSelect::ShellListView() const
{
    return static_cast<QAbstractItemView *>(m_stack->currentWidget());
}

void TFrmFilesSelect::setCurrentFolder(const QString &path)
{
    const QString folder = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    if (!QFileInfo(folder).isDir())
        return;
    m_folder = folder;
    if (!m_listed) {
        m_listed = true;
        // Folders first, then by name.
        m_model->sort(0, Qt::AscendingOrder);
    }
    const QModelIndex index = m_model->setRootPath(folder);
    m_listView->setRootIndex(index);
    m_detailsView->setRootIndex(index);
    m_listView->selectionModel()->clear();
    fillLocationBox();
}

void TFrmFilesSelect::fillLocationBox()
{
    QFileIconProvider icons;
    const QSignalBlocker blocker(ShellDeviceBox);
    ShellDeviceBox->clear();
    const QString home = QDir::homePath();
    // The folders from the file system's top down to the one shown, each indented by its depth.
    QStringList chain;
    for (QDir dir(m_folder);;) {
        chain.prepend(dir.absolutePath());
        if (dir.isRoot() || !dir.cdUp())
            break;
    }
    if (!chain.contains(home))
        ShellDeviceBox->addItem(icons.icon(QFileIconProvider::Folder), QStringLiteral("Home"), home);
    for (qsizetype depth = 0; depth < chain.size(); ++depth) {
        const QString &folder = chain[depth];
        const QString name = depth == 0 ? folder : QFileInfo(folder).fileName();
        const QIcon icon =
            depth == 0 ? icons.icon(QFileIconProvider::Computer) : icons.icon(QFileIconProvider::Folder);
        ShellDeviceBox->addItem(icon, QString(depth * 3, QLatin1Char(' ')) + name, folder);
    }
    ShellDeviceBox->setCurrentIndex(ShellDeviceBox->count() - 1);
}

void TFrmFilesSelect::openItem(const QModelIndex &index)
{
    if (index.isValid() && m_model->isDir(index))
        setCurrentFolder(m_model->filePath(index));
}

bool TFrmFilesSelect::eventFilter(QObject *watched, QEvent *event)
{
    // Enter opens the current folder, as a double click does; on a file it does nothing.
    if (event->type() == QEvent::KeyPress && (watched == m_listView || watched == m_detailsView)) {
        const auto *key = static_cast<QKeyEvent *>(event);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        const QModelIndex current = static_cast<QAbstractItemView *>(watched)->currentIndex();
        if (enter && (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier && current.isValid() &&
            m_model->isDir(current)) {
            openItem(current);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TFrmFilesSelect::showItemMenu(QAbstractItemView *view, const QPoint &pos)
{
    const QModelIndex index = view->indexAt(pos);
    if (!index.isValid())
        return;
    QMenu menu(this);
    if (m_model->isDir(index)) {
        QAction *open = menu.addAction(QStringLiteral("Open"));
        connect(open, &QAction::triggered, this, [this, index] { openItem(index); });
    }
    if (menu.isEmpty())
        return;
    menu.exec(view->viewport()->mapToGlobal(pos));
}

void TFrmFilesSelect::SpeedButton1Click()
{
    QDir dir(m_folder);
    if (dir.cdUp())
        setCurrentFolder(dir.absolutePath());
}

void TFrmFilesSelect::LargeIcons1Click()
{
    m_listView->setViewMode(QListView::IconMode);
    m_listView->setMovement(QListView::Static);
    m_listView->setFlow(QListView::LeftToRight);
    m_listView->setIconSize(QSize(32, 32));
    m_listView->setGridSize(QSize(76, 64));
    m_listView->setWordWrap(true);
    m_stack->setCurrentWidget(m_listView);
    LargeIcons1->setChecked(true);
}

void TFrmFilesSelect::SmallIcons1Click()
{
    m_listView->setViewMode(QListView::ListMode);
    m_listView->setFlow(QListView::LeftToRight);
    m_listView->setIconSize(QSize(16, 16));
    m_listView->setGridSize(QSize(150, 20));
    m_listView->setWordWrap(false);
    m_stack->setCurrentWidget(m_listView);
    SmallIcons1->setChecked(true);
}

void TFrmFilesSelect::List1Click()
{
    m_listView->setViewMode(QListView::ListMode);
    m_listView->setFlow(QListView::TopToBottom);
    m_listView->setIconSize(QSize(16, 16));
    m_listView->setGridSize(QSize());
    m_listView->setWordWrap(false);
    m_stack->setCurrentWidget(m_listView);
    List1->setChecked(true);
}

void TFrmFilesSelect::Details1Click()
{
    m_stack->setCurrentWidget(m_detailsView);
    Details1->setChecked(true);
}

QList<PickedItem> TFrmFilesSelect::selectedItems() const
{
    const QModelIndex root = ShellListView()->rootIndex();
    QModelIndexList selected = m_listView->selectionModel()->selectedRows(0);
    selected.erase(std::remove_if(selected.begin(), selected.end(),
                                  [&root](const QModelIndex &index) { return index.parent() != root; }),
                   selected.end());
    std::sort(selected.begin(), selected.end(),
              [](const QModelIndex &a, const QModelIndex &b) { return a.row() < b.row(); });
    QList<PickedItem> items;
    for (const QModelIndex &index : std::as_const(selected)) {
        const QString path = m_model->filePath(index);
        // A folder goes in under the name the view shows, a file under its file name.
        if (m_model->isDir(index))
            items.append({path, m_model->fileName(index), true});
        else
            items.append({path, QFileInfo(path).fileName(), false});
    }
    return items;
}

void TFrmFilesSelect::BtnAddClick()
{
    Q_EMIT addPressed(selectedItems());
}

void TFrmFilesSelect::BtnFinishedClick()
{
    Q_EMIT finishedPressed(selectedItems());
}
