// TNTabEd: the clipboard. Copy puts the selection into the copy table and on the clipboard as
// text (one line per row, cells separated by tabs, "####" for cells without a valid value);
// Paste writes the copy table back at the selection; Extract from Clipboard reads any clipboard
// text as a small delimited table (orvex_ntabed_scan.cpp) into the table at the selection and
// says in the message line how it read it. Paste reads text that its own Copy did not write the
// same way.
#include "orvex_ntabed.h"

#include "orvex_ntabed_internal.h"
#include "orvex_stringl.h"

#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <charconv>
#include <cmath>

namespace orvex {

namespace {
// Appends FormatReal (Value, 22, -1): sign or blank, 14 significant digits, "E", exponent sign
// and four exponent digits. The same two roundings (to 18 significant digits, then halves away
// from zero to 14) are done on the decimal digits that to_chars gives, which is several times
// faster than the general formatter; values that are not finite take the general path.
void AppendFullPrecision(std::string& Out, double Value)
{
  if (!std::isfinite(Value)) {
    Out += FormatReal(Value, 22, -1);
    return;
  }
  char buf[48];
  const auto res = std::to_chars(buf, buf + sizeof buf, Value, std::chars_format::scientific, 17);
  const char* p = buf;
  const bool negative = *p == '-';
  if (negative)
    ++p;
  // p: d.ddddddddddddddddde[+-]xx
  char digits[18];
  digits[0] = p[0];
  for (int i = 1; i < 18; ++i)
    digits[i] = p[i + 1];
  const char* e = p + 19;  // the 'e'
  int exponent = 0;
  std::from_chars(e + 1 + (e[1] == '+' ? 1 : 0), res.ptr, exponent);
  bool carry = digits[14] >= '5';
  for (int i = 13; i >= 0 && carry; --i) {
    if (digits[i] == '9') {
      digits[i] = '0';
    } else {
      ++digits[i];
      carry = false;
    }
  }
  if (carry) {
    digits[0] = '1';  // 9.99...9 rounded up: 1.00...0 with the next exponent
    ++exponent;
  }
  char out[22];
  out[0] = negative ? '-' : ' ';
  out[1] = digits[0];
  out[2] = '.';
  for (int i = 1; i < 14; ++i)
    out[i + 2] = digits[i];
  out[16] = 'E';
  out[17] = exponent < 0 ? '-' : '+';
  int a = exponent < 0 ? -exponent : exponent;
  for (int i = 21; i >= 18; --i) {
    out[i] = static_cast<char>('0' + a % 10);
    a /= 10;
  }
  Out.append(out, sizeof out);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Commands

void TNTabEd::CopySelection()
{
  Guarded([&] {
    const TGridRect b = DataSelection();
    const int w = b.Right - b.Left + 1;
    const int h = b.Bottom - b.Top + 1;
    if (w < 1 || h < 1)
      return;
    FCopyTable->Resize(w, h);
    std::string text;
    text.reserve(static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * (FClipboardUseFullPrec ? 23 : 8) +
                 static_cast<std::size_t>(h) * 2);
    for (int r = b.Top; r <= b.Bottom; ++r) {
      for (int c = b.Left; c <= b.Right; ++c) {
        const double v = FData->Elem(c, r);
        const std::uint8_t s = FData->CellState(c, r);
        FCopyTable->SetElem(c - b.Left + 1, r - b.Top + 1, v);
        FCopyTable->SetCellState(c - b.Left + 1, r - b.Top + 1, s);
        text += c == b.Left ? ' ' : '\t';
        if (s & (csNotANumber | csEmpty))
          text += "####";
        else
          if (FClipboardUseFullPrec)
            AppendFullPrecision(text, v);
          else
            text += FormatReal(v, 1, ColPrecision(c));
      }
      text += "\r\n";
    }
    FCopyFilled = true;
    // Number texts, blanks, tabs and "#" only: plain ASCII, which the Latin-1 conversion turns
    // into the same text as the UTF-8 one, several times faster.
    FCopiedText = QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
    QApplication::clipboard()->setText(FCopiedText);
  });
}

bool TNTabEd::ClipboardHoldsForeignText() const
{
  const QMimeData* mime = QApplication::clipboard()->mimeData();
  if (!mime || !mime->hasText())
    return false;
  return !FCopyFilled || QApplication::clipboard()->text() != FCopiedText;
}

void TNTabEd::PasteBlock()
{
  // Text that this editor's last Copy did not write is read as Extract from Clipboard reads it.
  if (ClipboardHoldsForeignText()) {
    ExtractFromClipboard();
    return;
  }
  Guarded([&] {
    if (!FCopyFilled || FDataReadOnly || !HasSelection())
      return;
    const TGridRect sel = DataSelection();
    const int w = FCopyTable->NrOfColumns();
    const int h = FCopyTable->NrOfRows();
    const TGridRect target{sel.Left, sel.Top, std::min(sel.Left + w - 1, NrOfColumns()),
                           std::min(sel.Top + h - 1, NrOfRows())};
    {
      TUpdateLock lock(*this);
      TSuspendTableChange detach(*this);
      WithBackup(*FData, target, [&] {
        for (int c = target.Left; c <= target.Right; ++c)
          for (int r = target.Top; r <= target.Bottom; ++r) {
            const int i = c - sel.Left + 1;
            const int j = r - sel.Top + 1;
            FData->SetElem(c, r, ClampToRange(FCopyTable->Elem(i, j)));
            FData->SetCellState(c, r, FCopyTable->CellState(i, j));
          }
      });
    }
    Repaint();
    Notify(OnChange);
    Notify(OnCellStateChanged);
    Notify(OnPaste);
    SelectData(target.Left, target.Top, target.Right, target.Bottom);
    ReportSelection(false);
  });
}

void TNTabEd::ExtractFromClipboard()
{
  Guarded([&] {
    if (FDataReadOnly || !HasSelection())
      return;
    const QMimeData* mime = QApplication::clipboard()->mimeData();
    if (!mime || !mime->hasText())
      return;
    const QByteArray utf8 = QApplication::clipboard()->text().toUtf8();
    // Everything is read before the first cell is written, so that running out of memory
    // leaves the table as it was.
    struct TCell {
      int K;
      int M;
      double Value;
      bool Empty;
    };
    std::vector<TCell> cells;
    int maxK = -1;
    int maxM = -1;
    const TClipboardReading reading =
        ScanClipboardText(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())),
                          [&](int K, int M, double Value, bool Empty) {
                            cells.push_back({K, M, Value, Empty});
                            maxK = std::max(maxK, K);
                            maxM = std::max(maxM, M);
                          });
    const TGridRect sel = DataSelection();
    bool anyEmpty = false;
    if (!cells.empty()) {
      const TGridRect target{sel.Left, sel.Top, std::min(sel.Left + maxK, NrOfColumns()),
                             std::min(sel.Top + maxM, NrOfRows())};
      TUpdateLock lock(*this);
      TSuspendTableChange detach(*this);
      WithBackup(*FData, target, [&] {
        for (const TCell& cell : cells) {
          const long long c = static_cast<long long>(sel.Left) + cell.K;
          const long long r = static_cast<long long>(sel.Top) + cell.M;
          if (c > NrOfColumns() || r > NrOfRows())
            continue;
          const int ci = static_cast<int>(c);
          const int ri = static_cast<int>(r);
          if (cell.Empty) {
            FData->SetCellState(ci, ri, FData->CellState(ci, ri) | csEmpty);
            anyEmpty = true;
          } else {
            FData->SetElem(ci, ri, ClampToRange(cell.Value));
          }
        }
      });
    }
    if (!cells.empty())
      SelectData(sel.Left, sel.Top, sel.Left + std::min(maxK, NrOfColumns()), sel.Top + std::min(maxM, NrOfRows()));
    Repaint();
    Notify(OnChange);
    Notify(OnPaste);
    if (anyEmpty)
      Notify(OnEmptyStChanged);
    FMessageText = cells.empty() ? std::string("The pasted text holds no cells.") : reading.Description();
    if (OnMessage)
      OnMessage(this, FMessageText);
  });
}

}  // namespace orvex
