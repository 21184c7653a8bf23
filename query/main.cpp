#include <QApplication>
#include <QIcon>

#include "VintrelApp.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  application.setWindowIcon(QIcon(QStringLiteral(":/vintrel/vintrel-48.png")));
  CVintrelApp vintrel;
  vintrel.InitInstance();
  return 0;
}
