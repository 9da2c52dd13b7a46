#include "shell/frmAbout.h"

#include "Version.h"
#include "shell/FormKit.h"
#include "shell/MakerInfo.h"

#include <QFrame>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

namespace form = vantrel::form;

namespace {
constexpr quint32 Grey = 0x00808080;
constexpr quint32 Navy = 0x00800000;

QLabel* makeLabel(QWidget* parent, const QString& name, const QRect& r, quint32 colour, const QFont& font) {
    auto* l = new QLabel(parent);
    l->setObjectName(name);
    l->setGeometry(r);
    l->setFont(font);
    form::setTextColour(l, form::vbColor(colour));
    return l;
}

QFont arial(qreal points, bool bold) {
    QFont f = form::baseFont();
    f.setFamilies(
        {QStringLiteral("Arial"), QStringLiteral("Liberation Sans"), QStringLiteral("Nimbus Sans")});
    f.setPointSizeF(points);
    f.setBold(bold);
    return f;
}
} // namespace

frmAbout::frmAbout(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmAbout"));
    // Closing with the close box unloads the window; "OK" only hides it.
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowModality(Qt::ApplicationModal);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFont(form::baseFont());
    setFixedSize(form::twips(7215), form::twips(5745));
    buildControls();
    Form_Load();
}

void frmAbout::buildControls() {
    // The frame starts left of the window so that its labels, placed inside it, span the width.
    Frame1 = new QFrame(this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setFrameShape(QFrame::NoFrame);
    Frame1->setGeometry(form::twipsRect(-360, 0, 7572, 3012));
    form::setBackground(Frame1, form::vbColor(form::ColorWindow));

    mainLbl[0] = makeLabel(Frame1, QStringLiteral("mainLbl_0"), form::twipsRect(360, 240, 7212, 852), Grey,
                           arial(20.25, true));
    mainLbl[1] = makeLabel(Frame1, QStringLiteral("mainLbl_1"), form::twipsRect(360, 1200, 7212, 492), Navy,
                           arial(9.75, true));
    Label1 = makeLabel(Frame1, QStringLiteral("Label1"), form::twipsRect(1920, 1920, 4092, 372), Navy,
                       arial(9.75, false));
    mainLbl[2] = makeLabel(Frame1, QStringLiteral("mainLbl_2"), form::twipsRect(360, 2400, 7212, 372), Navy,
                           arial(8.25, false));
    for (QLabel* l : mainLbl)
        l->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    authorLbl = makeLabel(Frame1, QStringLiteral("authorLbl"), form::twipsRect(5160, 2760, 2412, 252), Navy,
                          form::baseFont());

    Image1 = new QLabel(Frame1);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(form::twipsRect(1440, 1920, 450, 480));
    Image1->setPixmap(vantrel::maker::logo(Image1->size()));

    txtInfo = new QPlainTextEdit(this);
    txtInfo->setObjectName(QStringLiteral("txtInfo"));
    txtInfo->setGeometry(form::twipsRect(120, 3120, 6972, 2052));
    txtInfo->setReadOnly(true);
    form::setBackground(txtInfo, form::vbColor(form::ColorButtonFace));

    okBut = new QPushButton(QStringLiteral("OK"), this);
    okBut->setObjectName(QStringLiteral("okBut"));
    okBut->setGeometry(form::twipsRect(3120, 5280, 1092, 375));
    okBut->setDefault(true);
    connect(okBut, &QPushButton::clicked, this, &frmAbout::okBut_Click);
}

void frmAbout::Form_Load() {
    using namespace vantrel::maker;
    const QString title = QStringLiteral(VANTREL_APP_TITLE);
    setWindowTitle(QStringLiteral("About ") + title);
    mainLbl[0]->setText(title);
    mainLbl[1]->setText(QStringLiteral("Version %1.%2.%3")
                            .arg(VANTREL_VERSION_MAJOR)
                            .arg(VANTREL_VERSION_MINOR)
                            .arg(VANTREL_VERSION_PATCH));
    mainLbl[2]->setText(legalLine());
    Label1->setText(companyName());
    authorLbl->setText(authorCredit());
    txtInfo->setPlainText(disclaimer() + QStringLiteral("\n\n") + legalNotice() +
                          QStringLiteral("\n\nEmail all bugs to: ") + bugAddress() + QStringLiteral("\n"));
}

void frmAbout::okBut_Click() {
    hide();
}
