// Colours, pens, brushes and fonts: value logic and the mapping to Qt's colour and font types.
#include "orvex_graphics.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QPalette>
#include <QScreen>
#include <cstdlib>
#include <limits>

namespace orvex {

namespace {

// Classic values of the system colours, used when no application palette exists.
constexpr TColor ClassicSystemColors[] = {
    0xC8C8C8, 0x000000, 0xD1B499, 0xDBCDBF, 0xF0F0F0, 0xFFFFFF, 0x646464, 0x000000, 0x000000,
    0x000000, 0xB4B4B4, 0xFCF7F4, 0xABABAB, 0xD77800, 0xFFFFFF, 0xF0F0F0, 0xA0A0A0, 0x6D6D6D,
    0x000000, 0x000000, 0xFFFFFF, 0x696969, 0xE3E3E3, 0x000000, 0xE1FFFF};

TColor SystemColor(unsigned Index)
{
  constexpr unsigned count = sizeof(ClassicSystemColors) / sizeof(ClassicSystemColors[0]);
  if (Index >= count)
    return clBlack;
  if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
    return ClassicSystemColors[Index];
  const QPalette pal = QGuiApplication::palette();
  QColor c;
  switch (Index) {
    case 0: c = pal.color(QPalette::Mid); break;  // scroll bar
    case 1:                                       // desktop
    case 4:                                       // menu
    case 10:                                      // active border
    case 11:                                      // inactive border
      c = pal.color(QPalette::Window);
      break;
    case 2:   // active caption
    case 13:  // highlight
      c = pal.color(QPalette::Active, QPalette::Highlight);
      break;
    case 3:   // inactive caption
    case 22:  // 3-D light
      c = pal.color(QPalette::Midlight);
      break;
    case 5: c = pal.color(QPalette::Base); break;  // window
    case 6:                                         // window frame
    case 21:                                        // 3-D dark shadow
      c = pal.color(QPalette::Shadow);
      break;
    case 7: c = pal.color(QPalette::WindowText); break;  // menu text
    case 8: c = pal.color(QPalette::Text); break;        // window text
    case 9: c = pal.color(QPalette::HighlightedText); break;  // caption text
    case 12:  // application work space
    case 16:  // button shadow
      c = pal.color(QPalette::Dark);
      break;
    case 14: c = pal.color(QPalette::Active, QPalette::HighlightedText); break;
    case 15: c = pal.color(QPalette::Button); break;                    // button face
    case 17: c = pal.color(QPalette::Disabled, QPalette::Text); break;  // gray text
    case 18: c = pal.color(QPalette::ButtonText); break;
    case 19: c = pal.color(QPalette::Inactive, QPalette::WindowText); break;
    case 20: c = pal.color(QPalette::Light); break;  // button highlight
    case 23: c = pal.color(QPalette::ToolTipText); break;
    case 24: c = pal.color(QPalette::ToolTipBase); break;
    default: return clBlack;
  }
  return FromQColor(c);
}

}  // namespace

TColor ColorToRGB(TColor Color)
{
  // Any value with the top bit set counts as a system colour, whatever else its top byte holds.
  if (Color & 0x80000000u)
    return SystemColor(Color & 0xFF);
  return Color & 0xFFFFFF;
}

QColor ToQColor(TColor Color)
{
  const TColor c = ColorToRGB(Color);
  return QColor(GetRValue(c), GetGValue(c), GetBValue(c));
}

TColor FromQColor(const QColor& Color)
{
  return RGB(Color.red(), Color.green(), Color.blue());
}

int GreyValue(TColor Color)
{
  // In hundredths, so that the rounding sees the exact value: 0.3, 0.59 and 0.11 have no exact
  // binary form, and a sum of 139.5 computed in doubles may come out just below it.
  const TColor c = ColorToRGB(Color);
  return (30 * GetRValue(c) + 59 * GetGValue(c) + 11 * GetBValue(c) + 50) / 100;
}

TColor ContrastColor(TColor Color)
{
  return GreyValue(Color) >= 140 ? clBlack : clWhite;
}

int MulDiv(int Number, int Numerator, int Denominator)
{
  if (Denominator == 0)
    return -1;
  const long long num = static_cast<long long>(Number) * Numerator;
  const long long den = Denominator;
  long long q = num / den;
  const long long r = num % den;
  // Round half away from zero: compare twice the remainder with the divisor.
  if (2 * std::llabs(r) >= std::llabs(den))
    q += ((num < 0) != (den < 0)) ? -1 : 1;
  // A result outside the int range is a failure like a zero divisor.
  if (q > std::numeric_limits<int>::max() || q < std::numeric_limits<int>::min())
    return -1;
  return static_cast<int>(q);
}

// --- TPen ------------------------------------------------------------------------------------

void TPen::Changed() { Fire(OnChange, this); }

void TPen::SetColor(TColor Value)
{
  if (Value == FColor)
    return;
  FColor = Value;
  Changed();
}

void TPen::SetStyle(TPenStyle Value)
{
  if (Value == FStyle)
    return;
  FStyle = Value;
  Changed();
}

void TPen::SetWidth(int Value)
{
  if (Value < 1)
    Value = 1;
  if (Value == FWidth)
    return;
  FWidth = Value;
  Changed();
}

void TPen::SetMode(TPenMode Value)
{
  if (Value == FMode)
    return;
  FMode = Value;
  Changed();
}

void TPen::Assign(const TPen& Source)
{
  if (&Source == this)
    return;
  FColor = Source.FColor;
  FStyle = Source.FStyle;
  FWidth = Source.FWidth;
  FMode = Source.FMode;
  Changed();
}

// --- TBrush ----------------------------------------------------------------------------------

void TBrush::Changed() { Fire(OnChange, this); }

void TBrush::SetColor(TColor Value)
{
  if (Value == FColor)
    return;
  FColor = Value;
  Changed();
}

void TBrush::SetStyle(TBrushStyle Value)
{
  if (Value == FStyle)
    return;
  FStyle = Value;
  Changed();
}

void TBrush::Assign(const TBrush& Source)
{
  if (&Source == this)
    return;
  FColor = Source.FColor;
  FStyle = Source.FStyle;
  Changed();
}

// --- TFont -----------------------------------------------------------------------------------

TFont::TFont() = default;

TFont::TFont(const TFont& Other)
    : FName(Other.FName), FHeight(Other.FHeight), FColor(Other.FColor), FStyle(Other.FStyle),
      FPixelsPerInch(Other.FPixelsPerInch)
{
}

TFont& TFont::operator=(const TFont& Other)
{
  Assign(Other);
  return *this;
}

void TFont::Changed()
{
  FQFontValid = false;
  Fire(OnChange, this);
}

void TFont::SetName(const std::string& Value)
{
  if (Value.empty() || Value == FName)
    return;
  FName = Value;
  Changed();
}

int TFont::Size() const
{
  return FHeight < 0 ? -MulDiv(FHeight, 72, FPixelsPerInch) : MulDiv(FHeight, 72, FPixelsPerInch);
}

void TFont::SetSize(int Value)
{
  SetHeight(-MulDiv(Value, FPixelsPerInch, 72));
}

void TFont::SetHeight(int Value)
{
  if (Value == FHeight)
    return;
  FHeight = Value;
  Changed();
}

void TFont::SetColor(TColor Value)
{
  if (Value == FColor)
    return;
  FColor = Value;
  Changed();
}

void TFont::SetStyle(TFontStyles Value)
{
  if (Value == FStyle)
    return;
  FStyle = Value;
  Changed();
}

void TFont::SetBold(bool Value)
{
  TFontStyles s = FStyle;
  Value ? s.Include(fsBold) : s.Exclude(fsBold);
  SetStyle(s);
}

void TFont::SetItalic(bool Value)
{
  TFontStyles s = FStyle;
  Value ? s.Include(fsItalic) : s.Exclude(fsItalic);
  SetStyle(s);
}

void TFont::SetPixelsPerInch(int Value)
{
  if (Value <= 0 || Value == FPixelsPerInch)
    return;
  // The point size stays; the pixel height follows the new resolution.
  const int size = Size();
  FPixelsPerInch = Value;
  FHeight = -MulDiv(size, FPixelsPerInch, 72);
  Changed();
}

void TFont::Assign(const TFont& Source)
{
  if (&Source == this)
    return;
  FName = Source.FName;
  FHeight = Source.FHeight;
  FColor = Source.FColor;
  FStyle = Source.FStyle;
  FPixelsPerInch = Source.FPixelsPerInch;
  Changed();
}

int TFont::PixelSize() const
{
  // A positive height includes the internal leading, which Qt's pixel size does not.
  const int h = FHeight < 0 ? -FHeight : MulDiv(FHeight, 4, 5);
  return h < 1 ? 1 : h;
}

QFont TFont::ToQFont() const
{
  if (FQFontValid)
    return FQFont;
  QFont f(MapFontFamily(FName));
  f.setPixelSize(PixelSize());
  f.setBold(FStyle.Contains(fsBold));
  f.setItalic(FStyle.Contains(fsItalic));
  f.setUnderline(FStyle.Contains(fsUnderline));
  f.setStrikeOut(FStyle.Contains(fsStrikeOut));
  if (f.family() == QLatin1String("Liberation Mono")) {
    f.setStyleHint(QFont::TypeWriter);
    f.setFixedPitch(true);
  }
  FQFont = f;
  FQFontValid = true;
  return f;
}

QString MapFontFamily(const std::string& Name)
{
  const QString n = QString::fromStdString(Name).trimmed();
  if (n.compare(QLatin1String("MS Sans Serif"), Qt::CaseInsensitive) == 0 ||
      n.compare(QLatin1String("Arial"), Qt::CaseInsensitive) == 0 ||
      n.compare(QLatin1String("Helvetica"), Qt::CaseInsensitive) == 0)
    return QStringLiteral("Liberation Sans");
  if (n.compare(QLatin1String("Courier New"), Qt::CaseInsensitive) == 0 ||
      n.compare(QLatin1String("Courier"), Qt::CaseInsensitive) == 0)
    return QStringLiteral("Liberation Mono");
  if (n.compare(QLatin1String("Times New Roman"), Qt::CaseInsensitive) == 0)
    return QStringLiteral("Liberation Serif");
  return n;
}

void InstallFontSubstitutions()
{
  for (const char* name : {"MS Sans Serif", "Arial", "Helvetica", "Courier New", "Courier", "Times New Roman"}) {
    const QString family = QString::fromLatin1(name);
    const QString target = MapFontFamily(name);
    if (!QFont::substitutes(family).contains(target, Qt::CaseInsensitive))
      QFont::insertSubstitution(family, target);
  }
}

QFont FixedPitchFont(int PointSize)
{
  QFont f;
  if (QFontDatabase::families().contains(QStringLiteral("Liberation Mono")))
    f = QFont(QStringLiteral("Liberation Mono"));
  else
    f = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  f.setStyleHint(QFont::TypeWriter);
  f.setFixedPitch(true);
  if (PointSize > 0)
    f.setPointSize(PointSize);
  return f;
}

double ScreenAspect()
{
  if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
    return 1.0;
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen || screen->logicalDotsPerInchX() <= 0)
    return 1.0;
  return screen->logicalDotsPerInchY() / screen->logicalDotsPerInchX();
}

}  // namespace orvex
