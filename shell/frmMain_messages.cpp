// PLACEHOLDER: replaced by the area owner.
#include "shell/frmMain.h"

void frmMain::connectMessages() {}
void frmMain::sendMsgBut_Click() {}
void frmMain::Exit_Click() {}
void frmMain::Content_Click() {}
void frmMain::About_Click() {}
void frmMain::GettingHelpFromHalcyra_Click() {}
void frmMain::logoImage_Click() {}
