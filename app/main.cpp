// Program start of mlrcalc: the application object, the main window, the message loop.
#include "mainfrm.h"

#include <QApplication>

int main(int argc, char** argv)
{
  QApplication app(argc, argv);
  orvex::TFrmMLRCalc window;
  window.show();
  return QApplication::exec();
}
