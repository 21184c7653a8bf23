#include "VintrelApp.h"

#include "VintrelDlg.h"

bool CVintrelApp::InitInstance() {
  CVintrelDlg dialog;
  dialog.exec();
  return false;
}
