#pragma once
// The maker's texts and pictures shown by the information windows. The addresses and the
// maker's short name come from the build (Version.h); the rest is written here, once.
#include <QPixmap>
#include <QString>

namespace vantrel::maker {

QString companyName();     // "Halcyra"
QString fullCompanyName(); // as used in the help window's title
QString webAddress();
QString supportAddress();
QString bugAddress();
QString phoneNumber();
QString authorCredit(); // "Programmed by: ..."
QString legalLine();    // the copyright line of the program's version information
QString disclaimer();
QString legalNotice();
QString servicesOffer();     // follows "... is provided as-is and free of charge "
QString pricingAndSupport(); // ends "services, contact: "

// The maker's small square logo and its wide banner, drawn to the size asked for.
QPixmap logo(QSize size);
QPixmap banner(QSize size);

} // namespace vantrel::maker
