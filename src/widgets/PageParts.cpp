#include "widgets/PageParts.h"

#include "widgets/ArtworkFiles.h"
#include "widgets/ButtonFaces.h"
#include "widgets/RatioPicture.h"
#include "widgets/TsuiImageButton.h"

#include <QComboBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QToolButton>

namespace {
const QColor PageColour(255, 255, 255);
} // namespace

TsuiImageButton *PageParts::makeButton(QWidget *parent, const QString &name, const char *face, QPoint pos,
                                       bool transparent, const QString &exeFolder)
{
    auto *button = new TsuiImageButton(parent);
    button->setObjectName(name);
    button->setUIStyle(QStringLiteral("FromThemeFile"));
    button->move(pos);
    button->setAutoSize(true);
    button->setTransparent(transparent);
    LoadButtonFace(button, exeFolder, face);
    return button;
}

QLabel *PageParts::makePicture(QWidget *parent, const QString &name, const QString &file,
                               const QRect &geometry, const QString &exeFolder)
{
    return makePicture(parent, name, readPicture(exeFolder + file, RatioPicture::screenRatio()), geometry);
}

QLabel *PageParts::makePicture(QWidget *parent, const QString &name, const QImage &image,
                               const QRect &geometry)
{
    auto *label = new QLabel(parent);
    label->setObjectName(name);
    label->setGeometry(geometry);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    if (!image.isNull())
        label->setPixmap(QPixmap::fromImage(image));
    return label;
}

QImage PageParts::readPicture(const QString &path, qreal ratio)
{
    return RatioPicture::readFitted(path, ratio);
}

TsuiImageButton *PageParts::pageButton(QWidget *page, const char *name, const char *face, QPoint pos,
                                       const QString &exeFolder)
{
    TsuiImageButton *button = makeButton(page, QLatin1String(name), face, pos, false, exeFolder);
    button->setColor(PageColour);
    return button;
}

QLabel *PageParts::pageLabel(QWidget *page, const char *name, int index, QPoint pos, const QString &exeFolder)
{
    const ArtworkFiles::Face &face = ArtworkFiles::PageLabels[index];
    QLabel *label = makePicture(page, QLatin1String(name), ArtworkFiles::pageLabel(face.name),
                                QRect(pos, QSize(face.width, face.height)), exeFolder);
    label->setMouseTracking(true);
    QString words = QString::fromUtf8(ArtworkFiles::PageLabelWords[index]);
    if (words.endsWith(QLatin1Char(':')))
        words.chop(1);
    label->setAccessibleName(words);
    return label;
}

void PageParts::labelField(QLabel *label, QWidget *field)
{
    label->setBuddy(field);
    // A picture label has no text for the field to take its name from.
    field->setAccessibleName(label->accessibleName());
    // An editable list is focused in its text field, which a screen reader names on its own.
    if (auto *list = qobject_cast<QComboBox *>(field); list && list->lineEdit())
        list->lineEdit()->setAccessibleName(label->accessibleName());
}

QToolButton *PageParts::browseButton(QWidget *page, const char *name, const QIcon &icon,
                                     const QRect &geometry)
{
    auto *button = new QToolButton(page);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(geometry);
    button->setIcon(icon);
    button->setText(QStringLiteral("..."));
    button->setToolButtonStyle(icon.isNull() ? Qt::ToolButtonTextOnly : Qt::ToolButtonIconOnly);
    return button;
}

QLineEdit *PageParts::pathField(QWidget *page, const char *name, const QRect &geometry)
{
    auto *field = new QLineEdit(page);
    field->setObjectName(QLatin1String(name));
    field->setGeometry(geometry);
    field->setReadOnly(true);
    return field;
}
