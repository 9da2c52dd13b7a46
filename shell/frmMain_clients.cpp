// PLACEHOLDER: replaced by the area owner.
#include "shell/frmMain.h"

void frmMain::connectClients() {}
void frmMain::butAddClient_Click() {}
void frmMain::butDeletedItem_Click() {}
void frmMain::butRefresh_Click() {}
void frmMain::selectAllBut_Click() {}
void frmMain::clearAllBut_Click() {}
void frmMain::clientList_DblClick() {}
