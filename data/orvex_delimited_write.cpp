// The delimited-text writer: a table in a given dialect, as the delimited reader
// (orvex_delimited_read.cpp) reads it back with that dialect. One record per line, LF line ends;
// the header (with an empty first field over the row names, or none with blanks as the
// delimiter) and then the rows. A field is quoted when the reader would otherwise take it
// apart or change it: it holds the delimiter, the quote, a line end or blanks at its ends, it
// starts a line with "#" (a comment line), or it is empty where an empty field is no field
// (blanks as the delimiter, or the only field of a line). Numbers are the shortest text that
// reads back to the same double, with the dialect's decimal mark; a decimal comma with the
// comma as delimiter is therefore quoted.
#include "orvex_tablewriter.h"

#include "orvex_datatable_text.h"
#include "orvex_delimited_scan.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>

namespace orvex {

namespace {

[[noreturn]] void Refuse(const std::string& Reason) { throw EOrvexTableWriteError(Reason); }

// UTF-8 text as Windows-1252; false when a character has no place there.
bool ToCp1252(std::string_view S, std::string& Out)
{
  static const std::map<std::string, char> reverse = [] {
    std::map<std::string, char> m;
    for (int b = 0x80; b <= 0xFF; ++b)
      m.emplace(dtext::Cp1252ToUtf8(std::string(1, static_cast<char>(b))), static_cast<char>(b));
    return m;
  }();
  Out.clear();
  for (std::size_t i = 0; i < S.size();) {
    const auto c = static_cast<unsigned char>(S[i]);
    if (c < 0x80) {
      Out += S[i++];
      continue;
    }
    const std::size_t len = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2;
    const auto it = reverse.find(std::string(S.substr(i, len)));
    if (it == reverse.end())
      return false;
    Out += it->second;
    i += len;
  }
  return true;
}

class TDelimitedWriter {
public:
  TDelimitedWriter(const TDataTable& Table, const TDelimitedDialect& Dialect) : T(Table)
  {
    FDelimiter = Dialect.Delimiter == dlDetect ? dlComma : Dialect.Delimiter;
    FQuote = Dialect.Quote;
    FMark = Dialect.DecimalMark == TDecimalMark::Comma ? ',' : '.';
    FHeader = Dialect.Header != TPresence::No;
    if (Dialect.RowNames == TPresence::Detect) {
      FRowNames = false;
      for (int r = 1; r <= T.NrOfRows() && !FRowNames; ++r)
        FRowNames = T.RowName(r) != "R-" + std::to_string(r);
    } else {
      FRowNames = Dialect.RowNames == TPresence::Yes;
    }
    FCp1252 = Dialect.Encoding == TTextEncoding::Windows1252;
    FMissing = Dialect.MissingTokens;
    // Empty cells: the first token the reader takes as empty (not a number, not "NaN").
    bool found = false;
    for (const std::string& t : FMissing) {
      double v = 0.0;
      if (delim::ClassifyCell(t, FMark, FMissing, v) == delim::TCellKind::Missing) {
        FEmptyToken = t;
        found = true;
        break;
      }
    }
    if (!found)
      FEmptyToken.clear();
    const auto has = [&](const char* t) { return std::find(FMissing.begin(), FMissing.end(), t) != FMissing.end(); };
    FNaNToken = has("NaN") || !has("nan") ? "NaN" : "nan";
    FFields = T.NrOfColumns() + (FRowNames ? 1 : 0);
    ChooseLevelColumns();
  }

  void Write(TWriteSink& Sink)
  {
    if (T.NrOfColumns() < 1)
      Refuse("the table has no columns");
    if (FHeader) {
      std::string line;
      int index = 0;
      // Over the row names an empty field; with blanks as the delimiter none (an empty field
      // would need quotes), which the reader takes as a header without the row-name field.
      if (FRowNames && FDelimiter != dlBlanks)
        ++index;
      for (int c = 1; c <= T.NrOfColumns(); ++c) {
        if (index > 0)
          line += FDelimiter;
        AppendText(line, T.ColName(c), index == 0);
        ++index;
      }
      line += '\n';
      Sink.Write(line);
    }
    const int cols = T.NrOfColumns();
    std::vector<const double*> values(static_cast<std::size_t>(cols));
    std::vector<const std::uint8_t*> states(static_cast<std::size_t>(cols));
    for (int c = 1; c <= cols; ++c) {
      values[static_cast<std::size_t>(c - 1)] = T.ColumnValues(c);
      states[static_cast<std::size_t>(c - 1)] = T.ColumnStates(c);
    }
    WriteRowBlocks(T.NrOfRows(), 8192, [&](int From, int To, std::string& Out) {
      Out.reserve(static_cast<std::size_t>(To - From) * static_cast<std::size_t>(cols) * 12);
      for (int r = From; r < To; ++r) {
        if (FRowNames)
          AppendText(Out, T.RowName(r + 1), true);
        for (std::size_t c = 0; c < values.size(); ++c) {
          if (c > 0 || FRowNames)
            Out += FDelimiter;
          AppendCell(Out, c, values[c][r], states[c][r], c == 0 && !FRowNames);
        }
        Out += '\n';
      }
    }, Sink);
  }

private:
  // Level columns whose valid cells all carry a label that reads back as a text are written as
  // labels.
  void ChooseLevelColumns()
  {
    FLabels.resize(static_cast<std::size_t>(T.NrOfColumns()));
    for (int c = 1; c <= T.NrOfColumns(); ++c) {
      if (!IsLevelType(T.VarType(c)))
        continue;
      std::vector<std::string> labels(MaxLevel + 1);
      bool usable = false;
      for (int l = 0; l <= MaxLevel; ++l) {
        labels[static_cast<std::size_t>(l)] = T.LevelName(c, l);
        double v = 0.0;
        if (!labels[static_cast<std::size_t>(l)].empty()) {
          usable = true;
          if (delim::ClassifyCell(labels[static_cast<std::size_t>(l)], FMark, FMissing, v) != delim::TCellKind::Text)
            labels[static_cast<std::size_t>(l)].clear();
        }
      }
      const double* values = T.ColumnValues(c);
      const std::uint8_t* states = T.ColumnStates(c);
      for (int r = 0; r < T.NrOfRows() && usable; ++r) {
        if (states[r] & (csNotANumber | csEmpty))
          continue;
        const double level = std::nearbyint(values[r]);
        usable = std::isfinite(level) && level >= 0 && level <= MaxLevel &&
                 !labels[static_cast<std::size_t>(level)].empty();
      }
      if (usable)
        FLabels[static_cast<std::size_t>(c - 1)] = std::move(labels);
    }
  }

  bool IsBlank(char C) const { return C == ' ' || (C == '\t' && FDelimiter != dlTab); }

  bool NeedsQuotes(std::string_view S, bool First) const
  {
    if (S.empty())
      return FDelimiter == dlBlanks || FFields == 1;
    if (IsBlank(S.front()) || IsBlank(S.back()) || (First && S.front() == '#'))
      return true;
    for (const char ch : S) {
      if (ch == '\n' || ch == '\r' || (FQuote != '\0' && ch == FQuote) || ch == FDelimiter ||
          (FDelimiter == dlBlanks && ch == '\t'))
        return true;
    }
    return false;
  }

  // A text field (name or label) in the file's encoding, quoted where needed.
  void AppendText(std::string& Out, const std::string& Utf8, bool First) const
  {
    std::string converted;
    if (FCp1252 && !ToCp1252(Utf8, converted))
      Refuse("the text \"" + Utf8 + "\" holds a character that Windows-1252, the file's encoding, cannot hold");
    const std::string& S = FCp1252 ? converted : Utf8;
    AppendField(Out, S, First);
  }

  void AppendField(std::string& Out, std::string_view S, bool First) const
  {
    if (!NeedsQuotes(S, First)) {
      Out += S;
      return;
    }
    if (FQuote == '\0')
      Refuse("the field \"" + std::string(S) + "\" needs quotes, but the file's dialect has no quote character");
    Out += FQuote;
    for (const char ch : S) {
      if (ch == FQuote)
        Out += FQuote;
      Out += ch;
    }
    Out += FQuote;
  }

  void AppendCell(std::string& Out, std::size_t Col, double V, std::uint8_t State, bool First) const
  {
    if (State & csNotANumber || (!(State & csEmpty) && !std::isfinite(V))) {
      AppendField(Out, FNaNToken, First);
      return;
    }
    if (State & csEmpty) {
      AppendField(Out, FEmptyToken, First);
      return;
    }
    const std::vector<std::string>& labels = FLabels[Col];
    if (!labels.empty()) {
      AppendText(Out, labels[static_cast<std::size_t>(std::nearbyint(V))], First);
      return;
    }
    char buf[32];
    const auto res = std::to_chars(buf, buf + sizeof buf, V);
    if (FMark == ',')
      std::replace(buf, res.ptr, '.', ',');
    const std::string_view text(buf, static_cast<std::size_t>(res.ptr - buf));
    if (FMark == ',' && FDelimiter == dlComma)
      AppendField(Out, text, First);
    else
      Out += text;
  }

  const TDataTable& T;
  char FDelimiter = dlComma;
  char FQuote = '"';
  char FMark = '.';
  bool FHeader = true;
  bool FRowNames = false;
  bool FCp1252 = false;
  int FFields = 1;
  std::vector<std::string> FMissing;
  std::string FEmptyToken;
  std::string FNaNToken;
  std::vector<std::vector<std::string>> FLabels;  // per column: the labels by level, or none
};

}  // namespace

void WriteDelimitedTable(const TDataTable& Table, const TDelimitedDialect& Dialect, TWriteSink& Sink)
{
  TDelimitedWriter(Table, Dialect).Write(Sink);
}

}  // namespace orvex
