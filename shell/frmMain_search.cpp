// PLACEHOLDER: replaced by the area owner.
#include "shell/frmMain.h"

void frmMain::connectSearch() {}
void frmMain::removeSettingCombo_Click() {}
void frmMain::removeBut_Click() {}
void frmMain::searchCriteriaCombo_Click() {}
