#include "shell/frmGettingHelp.h"

#include "Version.h"
#include "shell/DesktopOpen.h"
#include "shell/FormKit.h"
#include "shell/MakerInfo.h"

#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>

namespace form = vantrel::form;

namespace {
constexpr quint32 DarkBlue = 0x00C00000;
constexpr quint32 Green = 0x00008000;
constexpr quint32 DarkRed = 0x000000C0;
constexpr quint32 White = 0x00FFFFFF;
} // namespace

frmGettingHelp::frmGettingHelp(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmGettingHelp"));
    // Closing with the close box unloads the window; "OK" only hides it.
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowModality(Qt::ApplicationModal);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFont(form::baseFont());
    setFixedSize(form::twips(7650), form::twips(5415));
    form::setBackground(this, form::vbColor(White));
    buildControls();
    Form_Load();
}

void frmGettingHelp::buildControls() {
    // The banner is wider than the window; its right end is simply cut off.
    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(form::twipsRect(0, 120, 8880, 375));
    Image1->setPixmap(vantrel::maker::banner(Image1->size()));
    Image1->setToolTip(QStringLiteral("Click to goto ") + vantrel::maker::webAddress());
    Image1->setCursor(Qt::PointingHandCursor);
    Image1->installEventFilter(this);

    Frame1 = new QFrame(this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setFrameShape(QFrame::NoFrame);
    Frame1->setGeometry(form::twipsRect(0, 600, 7692, 4092));

    struct Design {
        QRect rect;
        quint32 colour;
        bool bold;
    };
    const Design designs[4] = {
        {form::twipsRect(120, 240, 7452, 2052), DarkBlue, true},
        {form::twipsRect(120, 3120, 7452, 612), DarkRed, true},
        {form::twipsRect(120, 3720, 7452, 252), DarkBlue, false},
        {form::twipsRect(120, 2280, 7452, 852), Green, true},
    };
    for (int i = 0; i < 4; ++i) {
        auto* l = new QLabel(Frame1);
        l->setObjectName(QStringLiteral("lblMain_%1").arg(i));
        l->setTextFormat(Qt::PlainText);
        l->setGeometry(designs[i].rect);
        l->setWordWrap(true);
        l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        l->setFont(designs[i].bold ? form::boldFont() : form::baseFont());
        form::setTextColour(l, form::vbColor(designs[i].colour));
        lblMain[i] = l;
    }

    // A strip in the button-face colour behind the button, below the white page.
    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(form::twipsRect(0, 4800, 7692, 612));
    form::setBackground(Label1, form::vbColor(form::ColorButtonFace));

    Command1 = new QPushButton(QStringLiteral("OK"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setGeometry(form::twipsRect(3120, 4920, 972, 372));
    Command1->setDefault(true);
    connect(Command1, &QPushButton::clicked, this, &frmGettingHelp::Command1_Click);
}

void frmGettingHelp::Form_Load() {
    using namespace vantrel::maker;
    setWindowTitle(QStringLiteral("Getting Help From ") + fullCompanyName());
    lblMain[0]->setText(QStringLiteral(VANTREL_APP_TITLE) +
                        QStringLiteral(" is provided as-is and free of charge ") + servicesOffer());
    lblMain[3]->setText(pricingAndSupport());
    lblMain[1]->setText(QStringLiteral("Email: ") + supportAddress() + QStringLiteral("\nPhone: ") +
                        phoneNumber());
    lblMain[2]->setText(QStringLiteral("Submit bugs to: ") + bugAddress());
}

void frmGettingHelp::Image1_Click() {
    // Opening the maker's page is a courtesy: nothing is reported if it cannot be done.
    try {
        vantrel::desktopOpen(vantrel::maker::webAddress());
    } catch (...) {
    }
}

void frmGettingHelp::Command1_Click() {
    hide();
}

bool frmGettingHelp::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Image1 && event->type() == QEvent::MouseButtonRelease) {
        auto* me = static_cast<QMouseEvent*>(event);
        if (me->button() == Qt::LeftButton && Image1->rect().contains(me->position().toPoint())) {
            Image1_Click();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}
