// PLACEHOLDER: replaced by the area owner.
#include "shell/frmMain.h"

void frmMain::connectRegistry() {}
void frmMain::quickQueryActionCombo_Click() {}
void frmMain::queryRegKeyValueCombo_Click() {}
void frmMain::quickQueryBut_Click() {}
