#include "CompilationFixture.h"

#include "TestSupport.h"
#include "app/FileDialogs.h"
#include "app/GlobalSettings.h"
#include "app/MessageBox.h"
#include "compilation/TFrmSetVolume.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QPushButton>
#include <QSplitter>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

void CompilationFixture::SetUp()
{
    ASSERT_TRUE(m_dir.isValid());
    Globals().ExeFolder = QStringLiteral(KESTRANE_PROGRAM_DIR "/");
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    MessageBoxSeam::takeShown();
    FileDialogSeam::enable();
    FileDialogSeam::takeAsked();

    m_window = std::make_unique<QWidget>();
    m_window->resize(640, 360);
    m_picker = new TFrmFilesSelect(m_window.get());
    m_engine = std::make_unique<TDVDWriterPro2>(TDVDWriterPro2::Instance::DVDWriterPro21);
    m_page = std::make_unique<CompilationPage>(*m_engine, m_window.get());
    (new QHBoxLayout(m_window.get()))->addWidget(m_page.get());
    m_page->setPicker(m_picker);
    m_splitter = m_page->Splitter1;
    m_tree = m_page->TsListDir;
    m_list = m_page->LsviewFile;
    m_menu = m_page->PopupMenu1;
    m_changeVolume = m_page->ChangeVolume1;
    m_window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_window.get(), 5000));
    m_page->EnterFileToIsoPage();
}

void CompilationFixture::TearDown()
{
    m_page.reset();
    m_engine.reset();
    m_window.reset();
    FileDialogSeam::disable();
    QLocale::setDefault(QLocale::system());
}

QString CompilationFixture::src(const QString &relative) const
{
    return m_dir.filePath(QStringLiteral("src/") + relative);
}

QString CompilationFixture::makeFile(const QString &relative, qint64 size)
{
    const QString path = src(relative);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    // Sparse beyond a few bytes: a multi-gigabyte file costs nothing.
    file.write(QByteArray(qMin<qint64>(size, 16), 'k'));
    EXPECT_TRUE(file.resize(size));
    return path;
}

QString CompilationFixture::makeDir(const QString &relative)
{
    const QString path = src(relative);
    QDir().mkpath(path);
    return path;
}

QTreeWidgetItem *CompilationFixture::root() const
{
    settle();
    return m_tree->topLevelItem(0);
}

void CompilationFixture::settle() const
{
    EXPECT_TRUE(TestSupport::waitFor(
        [this] { return !m_page->isAdding() && !m_page->isSizePending() && !m_page->isListing(); }, 60000));
}

QTreeWidgetItem *CompilationFixture::node(const QString &destPath) const
{
    for (QTreeWidgetItemIterator it(m_tree); *it; ++it) {
        if ((*it)->data(0, CompilationPage::DestPathRole).toString() == destPath)
            return *it;
    }
    return nullptr;
}

QStringList CompilationFixture::treeShape() const
{
    QStringList shape;
    for (QTreeWidgetItemIterator it(m_tree); *it; ++it) {
        int depth = 0;
        for (QTreeWidgetItem *up = (*it)->parent(); up; up = up->parent())
            ++depth;
        shape.append(QString(depth * 2, QLatin1Char(' ')) +
                     (*it)->data(0, CompilationPage::DestPathRole).toString());
    }
    return shape;
}

QStringList CompilationFixture::rows() const
{
    QStringList texts;
    for (int i = 0; i < m_list->topLevelItemCount(); ++i)
        texts.append(m_list->topLevelItem(i)->text(0) + QLatin1Char('|') + m_list->topLevelItem(i)->text(1));
    return texts;
}

QStringList CompilationFixture::selectedNodePaths() const
{
    QStringList paths;
    for (QTreeWidgetItemIterator it(m_tree, QTreeWidgetItemIterator::Selected); *it; ++it)
        paths.append((*it)->data(0, CompilationPage::DestPathRole).toString());
    return paths;
}

int CompilationFixture::picture(const QTreeWidgetItem *item) const
{
    return item->data(0, CompilationPage::PictureRole).toInt();
}

void CompilationFixture::clickNode(QTreeWidgetItem *item, Qt::KeyboardModifiers modifiers)
{
    // A click during a size computation is answered once the size is known.
    settle();
    for (QTreeWidgetItem *up = item->parent(); up; up = up->parent())
        up->setExpanded(true);
    m_tree->scrollToItem(item);
    QTest::mouseClick(m_tree->viewport(), Qt::LeftButton, modifiers, m_tree->visualItemRect(item).center());
}

void CompilationFixture::clickTreeEmptySpace()
{
    settle();
    QTest::mouseClick(m_tree->viewport(), Qt::LeftButton, Qt::NoModifier,
                      QPoint(5, m_tree->viewport()->height() - 5));
}

void CompilationFixture::clickRow(int row, Qt::KeyboardModifiers modifiers)
{
    QTreeWidgetItem *item = m_list->topLevelItem(row);
    m_list->scrollToItem(item);
    QTest::mouseClick(m_list->viewport(), Qt::LeftButton, modifiers, m_list->visualItemRect(item).center());
}

void CompilationFixture::pressKey(QWidget *view, int key, Qt::KeyboardModifiers modifiers)
{
    view->setFocus();
    QTest::keyClick(view, static_cast<Qt::Key>(key), modifiers);
}

void CompilationFixture::answerVolumeWindow(const std::optional<QString> &text)
{
    auto *timer = new QTimer(m_window.get());
    auto *deadline = new QElapsedTimer;
    deadline->start();
    QObject::connect(timer, &QTimer::timeout, timer, [timer, deadline, text] {
        auto *window = qobject_cast<TFrmSetVolume *>(QApplication::activeModalWidget());
        if (!window && deadline->elapsed() < 5000)
            return;
        timer->stop();
        timer->deleteLater();
        delete deadline;
        if (!window)
            return;
        if (text) {
            window->EdtVolume->setText(*text);
            window->Button1->click();
        } else {
            window->Button2->click();
        }
    });
    timer->start(10);
}
