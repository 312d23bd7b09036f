// Registration of the compiled-in resources and the cursors made from them.
#include "orvex_resources.h"

#include <QFile>
#include <QPixmap>

// Q_INIT_RESOURCE names a function in the global namespace.
static void RegisterOrvexResources()
{
  Q_INIT_RESOURCE(orvex);
}

namespace orvex {

void InitResources()
{
  static const bool registered = [] {
    RegisterOrvexResources();
    return true;
  }();
  (void)registered;
}

QImage ResourceImage(const std::string& Name)
{
  InitResources();
  const QString path = QStringLiteral(":/") + QString::fromStdString(Name);
  if (Name.empty() || !QFile::exists(path))
    return {};
  // The files carry no suffix; XPM is recognised by its content.
  return QImage(path, "XPM");
}

QCursor ResourceCursor(const std::string& Name)
{
  const QImage image = ResourceImage(Name);
  if (image.isNull())
    return QCursor(Qt::ArrowCursor);
  // The hand grips at its palm; the magnifiers point with the centre of the lens.
  const int hot = Name == "CURHAND" ? 9 : 11;
  return QCursor(QPixmap::fromImage(image), hot, hot);
}

}  // namespace orvex
