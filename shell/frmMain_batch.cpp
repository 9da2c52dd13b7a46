// PLACEHOLDER: replaced by the area owner.
#include "shell/frmMain.h"

void frmMain::connectBatch() {}
void frmMain::executeBut_Click() {}
