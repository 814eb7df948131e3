#include "dialogs/TAboutForm.h"

#include "app/GlobalSettings.h"
#include "app/MessageBox.h"
#include "app/Shell.h"
#include "dialogs/TThankForm.h"
#include "widgets/ArtworkFiles.h"
#include "widgets/LinkLabel.h"
#include "widgets/RatioPicture.h"

#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {

template<typename Label = QLabel>
Label *placedLabel(QWidget *parent, const char *name, int left, int top)
{
    auto *label = new Label(parent);
    label->setObjectName(QLatin1String(name));
    label->move(left, top);
    label->setAttribute(Qt::WA_TranslucentBackground);
    return label;
}

void styleLabel(QLabel *label, const QString &family, int pixelSize, bool bold, const QColor &colour)
{
    QFont font(family);
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
}

} // namespace

TAboutForm::TAboutForm(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("AboutForm"));
    setFixedSize(594, 377);

    Bevel1 = new QFrame(this);
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    Bevel1->setFrameStyle(QFrame::Box | QFrame::Sunken);
    Bevel1->setGeometry(8, 8, 225, 361);
    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(9, 9, 223, 358);
    const QPixmap picture = QPixmap::fromImage(
        RatioPicture::read(Globals().ExeFolder + ArtworkFiles::about(), RatioPicture::screenRatio()));
    if (!picture.isNull()) {
        Image1->setPixmap(picture);
        Image1->resize(picture.deviceIndependentSize().toSize());
    }
    Image1->installEventFilter(this);
    Memo1 = new QPlainTextEdit(QStringLiteral("Date:06-09-2003"), this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setGeometry(16, 16, 209, 337);
    Memo1->setReadOnly(true);
    Memo1->hide();

    Company = placedLabel(this, "Company", 248, 11);
    styleLabel(Company, QStringLiteral("Sans Serif"), 19, true, Qt::black);
    // Drawn bottom-up, one pixel apart: white, gray, then black on top give the embossed title.
    ProductName1 = placedLabel(this, "ProductName1", 248, 36);
    styleLabel(ProductName1, QStringLiteral("Courier New"), 48, true, Qt::white);
    ProductName3 = placedLabel(this, "ProductName3", 248, 35);
    styleLabel(ProductName3, QStringLiteral("Courier New"), 48, true, Qt::gray);
    ProductName2 = placedLabel(this, "ProductName2", 248, 34);
    styleLabel(ProductName2, QStringLiteral("Courier New"), 48, true, Qt::black);
    Version = placedLabel(this, "Version", 248, 107);
    styleLabel(Version, QStringLiteral("Sans Serif"), 13, false, Qt::black);
    URL = placedLabel<LinkLabel>(this, "URL", 248, 181);
    styleLabel(URL, QStringLiteral("Sans Serif"), 11, false, Qt::blue);
    QFont underlined = URL->font();
    underlined.setUnderline(true);
    URL->setFont(underlined);
    Label1 = placedLabel(this, "Label1", 248, 200);
    styleLabel(Label1, QStringLiteral("Sans Serif"), 11, false, Qt::blue);
    Label1->setText(QStringLiteral("E-Mail:"));
    Label1->adjustSize();
    EMAIL = placedLabel<LinkLabel>(this, "EMAIL", 288, 198);
    styleLabel(EMAIL, QStringLiteral("Sans Serif"), 11, false, Qt::blue);
    // The links open by a click or, once Tab has reached them, by Enter or Space.
    connect(URL, &LinkLabel::activated, this, &TAboutForm::URLClick);
    connect(EMAIL, &LinkLabel::activated, this, &TAboutForm::EMAILClick);
    Company->installEventFilter(this);
    Bevel2 = new QFrame(this);
    Bevel2->setObjectName(QStringLiteral("Bevel2"));
    Bevel2->setFrameStyle(QFrame::HLine | QFrame::Sunken);
    Bevel2->setGeometry(248, 232, 241, 2);

    ThankButton = new QPushButton(QStringLiteral("Thank"), this);
    ThankButton->setObjectName(QStringLiteral("ThankButton"));
    ThankButton->setGeometry(256, 336, 75, 25);
    ThankButton->setAutoDefault(false);
    Button1 = new QPushButton(QStringLiteral("OK"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(464, 336, 73, 25);
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
    connect(ThankButton, &QPushButton::clicked, this, &TAboutForm::ThankButtonClick);
}

void TAboutForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // Enter closes the window, rather than opening a link the focus was left on the last time.
    Button1->setFocus(Qt::OtherFocusReason);
}

bool TAboutForm::eventFilter(QObject *watched, QEvent *event)
{
    const bool press = event->type() == QEvent::MouseButtonPress;
    const bool release = event->type() == QEvent::MouseButtonRelease;
    if (!press && !release)
        return QDialog::eventFilter(watched, event);
    const auto *mouse = static_cast<QMouseEvent *>(event);
    if (release && mouse->button() == Qt::LeftButton && watched == Company)
        CompanyTopClick();
    if (watched == Image1) {
        if (press)
            Image1MouseDown(mouse->position().toPoint(), mouse->modifiers());
        else
            Image1MouseUp(mouse->position().toPoint(), mouse->modifiers());
    }
    return QDialog::eventFilter(watched, event);
}

void TAboutForm::URLClick()
{
    OpenDocument(URL->text());
}

void TAboutForm::EMAILClick()
{
    OpenDocument(QStringLiteral("mailto:") + EMAIL->text());
}

void TAboutForm::ThankButtonClick()
{
    if (!m_thankForm)
        return;
    m_thankForm->Memo1->clear();
    const GlobalSettings &g = Globals();
    QFile file(g.ExeFolder + g.ProductFileStem + QStringLiteral("_thank.txt"));
    if (!file.open(QIODevice::ReadOnly)) {
        ShowErrorBox(QStringLiteral("File not found"));
        return;
    }
    QStringList shown;
    while (!file.atEnd()) {
        QByteArray line = file.readLine();
        while (line.endsWith('\n') || line.endsWith('\r'))
            line.chop(1);
        if (!line.startsWith("//"))
            shown.append(QString::fromUtf8(line));
    }
    m_thankForm->Memo1->setPlainText(shown.join(QLatin1Char('\n')));
    m_thankForm->Button1->setFocus();
    m_thankForm->exec();
}

void TAboutForm::CompanyTopClick()
{
    m_gesture = 1;
}

void TAboutForm::Image1MouseDown(const QPoint &pos, Qt::KeyboardModifiers modifiers)
{
    const bool keys = modifiers == (Qt::ControlModifier | Qt::ShiftModifier);
    m_gesture = (m_gesture == 1 && keys && pressArea().contains(pos)) ? 2 : 0;
}

void TAboutForm::Image1MouseUp(const QPoint &pos, Qt::KeyboardModifiers modifiers)
{
    const bool keys = modifiers == (Qt::ControlModifier | Qt::AltModifier);
    if (m_gesture == 2 && keys && releaseArea().contains(pos))
        Memo1->show();
    m_gesture = 0;
}
