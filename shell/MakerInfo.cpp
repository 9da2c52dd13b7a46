#include "shell/MakerInfo.h"

#include "Version.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace vantrel::maker {

QString companyName() {
    return QStringLiteral(VANTREL_MAKER);
}
QString fullCompanyName() {
    return companyName() + QStringLiteral(" Software");
}
QString webAddress() {
    return QStringLiteral(VANTREL_WEB_ADDRESS);
}
QString supportAddress() {
    return QStringLiteral(VANTREL_CONTACT_ADDRESS);
}
QString bugAddress() {
    return QStringLiteral(VANTREL_BUG_ADDRESS);
}
QString phoneNumber() {
    return QStringLiteral("+1 555 010 4200");
}
QString authorCredit() {
    return QStringLiteral("Programmed by: ") + companyName();
}

QString legalLine() {
    return QStringLiteral("Copyright \u00A9 %1. All rights reserved.").arg(fullCompanyName());
}

QString disclaimer() {
    return QStringLiteral("This software is provided as is, without warranty of any kind, express or "
                          "implied. In no event shall %1 be liable for any claim, damage or other "
                          "liability arising from its use.")
        .arg(companyName());
}

QString legalNotice() {
    return QStringLiteral("%1 changes service accounts, passwords, account rights and registry settings "
                          "on the machines you choose. You are responsible for holding the authority to "
                          "make those changes on every machine you administer with it.")
        .arg(QStringLiteral(VANTREL_APP_TITLE));
}

QString servicesOffer() {
    return QStringLiteral("by %1, without warranty of any kind. %1 accepts no liability for loss or "
                          "damage arising from its use.\n\n%1 also offers consulting on ClearCase "
                          "administration, service accounts and Windows network management, and can "
                          "adapt %2 to the needs of your site.")
        .arg(companyName(), QStringLiteral(VANTREL_APP_TITLE));
}

QString pricingAndSupport() {
    return QStringLiteral("Support is offered per request or by yearly agreement, at rates quoted on "
                          "request. For installation help, training or other services, contact: ");
}

namespace {
const QColor kDeep(0x0b, 0x3d, 0x6b);
const QColor kSea(0x1f, 0x8a, 0x9e);

// A round mark: a deep-blue disc with a light wing sweeping across it.
void paintMark(QPainter& p, const QRectF& r) {
    QLinearGradient g(r.topLeft(), r.bottomRight());
    g.setColorAt(0, kSea);
    g.setColorAt(1, kDeep);
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawEllipse(r);

    QPainterPath wing;
    wing.moveTo(r.left() + r.width() * 0.18, r.top() + r.height() * 0.62);
    wing.cubicTo(r.left() + r.width() * 0.40, r.top() + r.height() * 0.20, r.left() + r.width() * 0.70,
                 r.top() + r.height() * 0.22, r.left() + r.width() * 0.86, r.top() + r.height() * 0.34);
    wing.cubicTo(r.left() + r.width() * 0.62, r.top() + r.height() * 0.40, r.left() + r.width() * 0.42,
                 r.top() + r.height() * 0.56, r.left() + r.width() * 0.18, r.top() + r.height() * 0.62);
    p.setBrush(QColor(0xf2, 0xc1, 0x4e));
    p.drawPath(wing);
}
} // namespace

QPixmap logo(QSize size) {
    QPixmap pm(size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal side = qMin(size.width(), size.height()) - 1;
    paintMark(p, QRectF((size.width() - side) / 2.0, (size.height() - side) / 2.0, side, side));
    return pm;
}

QPixmap banner(QSize size) {
    QPixmap pm(size);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, size.width(), 0);
    g.setColorAt(0, kDeep);
    g.setColorAt(1, kSea);
    p.fillRect(pm.rect(), g);

    const qreal side = size.height() * 0.8;
    const qreal margin = (size.height() - side) / 2.0;
    paintMark(p, QRectF(margin * 2, margin, side, side));

    // Name and address side by side at the left: the banner may be shown cut off on the right.
    QFont f(QStringLiteral("Arial"));
    f.setBold(true);
    f.setPixelSize(qMax(8, int(size.height() * 0.55)));
    p.setFont(f);
    p.setPen(Qt::white);
    QRectF textArea(margin * 4 + side, 0, size.width(), size.height());
    QRectF used;
    p.drawText(textArea, Qt::AlignLeft | Qt::AlignVCenter, fullCompanyName(), &used);
    f.setBold(false);
    f.setPixelSize(qMax(7, int(size.height() * 0.45)));
    p.setFont(f);
    textArea.setLeft(used.right() + side);
    p.drawText(textArea, Qt::AlignLeft | Qt::AlignVCenter, webAddress());
    return pm;
}

} // namespace vantrel::maker
