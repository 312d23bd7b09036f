// Program start of mlrcalc: the application object, the main window, the message loop. A file
// named on the command line (mlrcalc FILE) is opened instead of the demonstration data.
#include "mainfrm.h"
#include "orvex_bulkalloc.h"

#include <QApplication>

int main(int argc, char** argv)
{
  orvex::KeepFreedMemoryForReuse();
  QApplication app(argc, argv);
  orvex::TFrmMLRCalc window;
  const QStringList args = QApplication::arguments();
  if (args.size() > 1)
    window.SetStartFile(args.at(1).toStdString());
  window.show();
  return QApplication::exec();
}
