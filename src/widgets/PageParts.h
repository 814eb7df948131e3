#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QString>

class QIcon;
class QLabel;
class QLineEdit;
class QToolButton;
class QWidget;
class TsuiImageButton;

// The pieces the main window and its pages are built of, with their pictures from the program folder
// `exeFolder`.
namespace PageParts {

// Height of a drive list and a path field.
constexpr int FieldHeight = 21;

// A picture button with the three pictures of `face`, at `pos`, sized by its normal picture.
TsuiImageButton *makeButton(QWidget *parent, const QString &name, const char *face, QPoint pos,
                            bool transparent, const QString &exeFolder);
// A picture in a label of its own; a missing file leaves it empty.
QLabel *makePicture(QWidget *parent, const QString &name, const QString &file, const QRect &geometry,
                    const QString &exeFolder);
// The same with the picture already read (on another thread, say); a null picture leaves it empty.
QLabel *makePicture(QWidget *parent, const QString &name, const QImage &image, const QRect &geometry);
// A picture file fitted to `ratio` pixels per point, or a null picture; safe on any thread.
QImage readPicture(const QString &path, qreal ratio);
// A picture button on a page: not transparent, its background the page's white.
TsuiImageButton *pageButton(QWidget *page, const char *name, const char *face, QPoint pos,
                            const QString &exeFolder);
// The picture of the page label `index`; moves over it count as moves over the page. Its words are its
// accessible name, since a screen reader cannot read them off the picture.
QLabel *pageLabel(QWidget *page, const char *name, int index, QPoint pos, const QString &exeFolder);
// Ties a label picture to the field it labels: the field's buddy and accessible name.
void labelField(QLabel *label, QWidget *field);
// The "..." button beside a path field; its icon when there is one.
QToolButton *browseButton(QWidget *page, const char *name, const QIcon &icon, const QRect &geometry);
// A path field the user fills through its browse button only.
QLineEdit *pathField(QWidget *page, const char *name, const QRect &geometry);

} // namespace PageParts
