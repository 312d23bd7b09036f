// The xlsx reader: liborcus's zip archive and the expat XML parser, with the package's parts
// handled here. (liborcus's own XML parser reads past the end of a part cut inside a tag, so it
// is given well-formed parts only: CheckXmlParts checks an ods package's parts with expat before
// liborcus's ods filter sees them.)
// The parts read, in order: the package relationships (where the workbook part is), the workbook
// (the sheets in order with their relationship ids, the 1904 date system), the workbook's
// relationships (the sheet, shared-string and style parts), the styles (which cell formats are
// dates), the shared strings, and the chosen sheet alone. Part names may be absolute or relative.
#include "orvex_workbook_parts.h"

#include <expat.h>
#include <orcus/zip_archive.hpp>
#include <orcus/zip_archive_stream.hpp>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <exception>
#include <memory>
#include <new>
#include <map>
#include <set>

namespace orvex::wbook {

namespace {

// The base of our handlers: the attributes of the element being started (reused storage: a
// sheet has millions of cells), and the byte position of the parse.
struct THandlerBase {
  std::vector<std::pair<std::string, std::string>> AttrStore;
  std::size_t AttrCount = 0;
  std::int64_t Position = 0;
  void TakeAttributes(const XML_Char** Atts)
  {
    AttrCount = 0;
    for (; Atts && Atts[0]; Atts += 2) {
      if (AttrCount == AttrStore.size())
        AttrStore.emplace_back();
      auto& [key, value] = AttrStore[AttrCount++];
      // The relationship id's prefix varies: "r:id" whatever the prefix.
      const std::string_view name(Atts[0]);
      const std::size_t colon = name.find(':');
      key.assign(colon != std::string_view::npos && name.substr(colon + 1) == "id" ? std::string_view("r:id") : name);
      value.assign(Atts[1]);
    }
  }
  std::string_view AttrView(std::string_view Name) const
  {
    for (std::size_t i = 0; i < AttrCount; ++i)
      if (AttrStore[i].first == Name)
        return AttrStore[i].second;
    return {};
  }
  std::string Attr(std::string_view Name) const { return std::string(AttrView(Name)); }
  void characters(std::string_view) {}
};

// An element's name without its namespace prefix ("x:c" is "c").
std::string_view LocalName(const XML_Char* Name)
{
  const std::string_view n(Name);
  const std::size_t colon = n.rfind(':');
  return colon == std::string_view::npos ? n : n.substr(colon + 1);
}

struct TParserFree {
  void operator()(XML_Parser P) const { XML_ParserFree(P); }
};

// Parses Xml with Handler (start_element, end_element and characters taking the local name or
// the text). expat is a C library: nothing may unwind through it, so an exception of a handler
// stops the parse and is thrown again once expat has returned. A part that is no well-formed
// XML fails with expat's reason and line.
template <typename THandler>
void ParseXml(const std::vector<unsigned char>& Xml, THandler& Handler, std::string_view Part)
{
  struct TContext {
    THandler* H;
    XML_Parser P;
    std::exception_ptr Error;
  };
  std::unique_ptr<XML_ParserStruct, TParserFree> parser(XML_ParserCreate(nullptr));
  if (!parser)
    throw std::bad_alloc();
  TContext ctx{&Handler, parser.get(), nullptr};
  XML_SetUserData(parser.get(), &ctx);
  XML_SetElementHandler(
      parser.get(),
      [](void* U, const XML_Char* Name, const XML_Char** Atts) {
        auto& c = *static_cast<TContext*>(U);
        try {
          c.H->Position = XML_GetCurrentByteIndex(c.P);
          c.H->TakeAttributes(Atts);
          c.H->start_element(LocalName(Name));
        } catch (...) {
          c.Error = std::current_exception();
          XML_StopParser(c.P, XML_FALSE);
        }
      },
      [](void* U, const XML_Char* Name) {
        auto& c = *static_cast<TContext*>(U);
        try {
          c.H->end_element(LocalName(Name));
        } catch (...) {
          c.Error = std::current_exception();
          XML_StopParser(c.P, XML_FALSE);
        }
      });
  XML_SetCharacterDataHandler(parser.get(), [](void* U, const XML_Char* S, int Len) {
    auto& c = *static_cast<TContext*>(U);
    try {
      c.H->characters(std::string_view(S, static_cast<std::size_t>(Len)));
    } catch (...) {
      c.Error = std::current_exception();
      XML_StopParser(c.P, XML_FALSE);
    }
  });
  // liborcus's zip reader ends a part with a zero byte of its own: not part of the text.
  const std::size_t size = !Xml.empty() && Xml.back() == 0 ? Xml.size() - 1 : Xml.size();
  // expat takes int lengths: a large part goes in pieces.
  constexpr std::size_t piece = std::size_t(1) << 28;
  const char* data = reinterpret_cast<const char*>(Xml.data());
  std::size_t done = 0;
  do {
    const std::size_t n = std::min(piece, size - done);
    const bool last = done + n == size;
    if (XML_Parse(parser.get(), data + done, static_cast<int>(n), last) != XML_STATUS_OK) {
      if (ctx.Error)
        std::rethrow_exception(ctx.Error);
      throw EOrvexSheetError("the part \"" + std::string(Part) + "\" is no well-formed XML (" +
                             XML_ErrorString(XML_GetErrorCode(parser.get())) + " at line " +
                             std::to_string(XML_GetCurrentLineNumber(parser.get())) + ")");
    }
    done += n;
  } while (done < size);
  if (ctx.Error)
    std::rethrow_exception(ctx.Error);
}

// A part's relationships: id -> (type, target).
struct TRels : THandlerBase {
  struct TRel {
    // cppcheck-suppress unusedStructMember ; read through structured bindings
    std::string Type, Target;
  };
  std::map<std::string, TRel> ById;
  void start_element(std::string_view E)
  {
    if (E == "Relationship")
      ById[Attr("Id")] = {Attr("Type"), Attr("Target")};
      }
  void end_element(std::string_view) {}
};

// The part a relationship target names, seen from the folder Dir ("xl/").
std::string ResolvePart(const std::string& Dir, const std::string& Target)
{
  std::string path = !Target.empty() && Target[0] == '/' ? Target.substr(1) : Dir + Target;
  // Drop "./" and fold "dir/../".
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= path.size()) {
    const std::size_t slash = std::min(path.find('/', start), path.size());
    const std::string seg = path.substr(start, slash - start);
    if (seg == "..") {
      if (!parts.empty())
        parts.pop_back();
    } else if (!seg.empty() && seg != ".") {
      parts.push_back(seg);
    }
    start = slash + 1;
  }
  std::string out;
  for (const std::string& p : parts)
    out += (out.empty() ? "" : "/") + p;
  return out;
}

bool EndsWith(std::string_view S, std::string_view Suffix)
{
  return S.size() >= Suffix.size() && S.substr(S.size() - Suffix.size()) == Suffix;
}

struct TWorkbookPart : THandlerBase {
  struct TSheet {
    std::string Name, RelId;
  };
  std::vector<TSheet> Sheets;
  bool Date1904 = false;
  void start_element(std::string_view E)
  {
    if (E == "sheet")
      Sheets.push_back({Attr("name"), Attr("r:id")});
    else if (E == "workbookPr")
      Date1904 = Attr("date1904") == "1" || Attr("date1904") == "true";
      }
  void end_element(std::string_view) {}
};

// Whether a number format code shows a date or time: a d, m, y, h or s outside quoted texts,
// brackets and escapes.
bool IsDateCode(std::string_view Code)
{
  bool quoted = false;
  int bracket = 0;
  for (std::size_t i = 0; i < Code.size(); ++i) {
    const char c = Code[i];
    if (quoted) {
      quoted = c != '"';
    } else if (c == '"') {
      quoted = true;
    } else if (c == '\\' || c == '_' || c == '*') {
      ++i;
    } else if (c == '[') {
      ++bracket;
    } else if (c == ']') {
      bracket = bracket > 0 ? bracket - 1 : 0;
    } else if (bracket == 0 && std::string_view("dDmMyYhHsS").find(c) != std::string_view::npos) {
      return true;
    }
  }
  return false;
}

bool IsBuiltinDateFormat(long Id)
{
  return (Id >= 14 && Id <= 22) || (Id >= 27 && Id <= 36) || (Id >= 45 && Id <= 47) || (Id >= 50 && Id <= 58);
}

long ToLong(std::string_view S, long Default = -1)
{
  long v = Default;
  const auto r = std::from_chars(S.data(), S.data() + S.size(), v);
  return r.ec == std::errc() ? v : Default;
}

// Which cell formats (indexes into cellXfs) show dates.
struct TStylesPart : THandlerBase {
  std::set<long> CustomDates;
  std::vector<bool> XfIsDate;
  bool InCellXfs = false;
  void start_element(std::string_view E)
  {
    if (E == "numFmt" && IsDateCode(Attr("formatCode")))
      CustomDates.insert(ToLong(Attr("numFmtId")));
    else if (E == "cellXfs")
      InCellXfs = true;
    else if (E == "xf" && InCellXfs) {
      const long id = ToLong(Attr("numFmtId"), 0);
      XfIsDate.push_back(IsBuiltinDateFormat(id) || CustomDates.count(id) > 0);
    }
      }
  void end_element(std::string_view E)
  {
    if (E == "cellXfs")
      InCellXfs = false;
  }
};

// The shared strings: each <si> is the text of its <t> elements, phonetic runs left out.
struct TSharedStringsPart : THandlerBase {
  TSheetGrid& Grid;
  explicit TSharedStringsPart(TSheetGrid& G) : Grid(G) {}
  std::string Text;
  bool InT = false;
  int InPhonetic = 0;
  void start_element(std::string_view E)
  {
        if (E == "si")
      Text.clear();
    else if (E == "t")
      InT = true;
    else if (E == "rPh")
      ++InPhonetic;
  }
  void end_element(std::string_view E)
  {
    if (E == "si")
      Grid.AddSharedText(Text);
    else if (E == "t")
      InT = false;
    else if (E == "rPh")
      --InPhonetic;
  }
  void characters(std::string_view V)
  {
    if (InT && InPhonetic == 0) {
      if (Text.size() + V.size() > Grid.Budget())
        throw EOrvexSheetError("a shared text is larger than the file allows");
      Text.append(V);
    }
  }
};

// "B7" -> row 6, column 1; false when it is no cell reference.
bool ParseReference(std::string_view R, std::int64_t& Row, std::int64_t& Col)
{
  std::size_t i = 0;
  std::int64_t col = 0;
  for (; i < R.size() && R[i] >= 'A' && R[i] <= 'Z'; ++i) {
    col = col * 26 + (R[i] - 'A' + 1);
    if (col > MaxSheetColumns)
      return false;
  }
  if (i == 0 || i == R.size())
    return false;
  std::int64_t row = 0;
  for (; i < R.size(); ++i) {
    if (R[i] < '0' || R[i] > '9')
      return false;
    row = row * 10 + (R[i] - '0');
    if (row > MaxSheetRows)
      return false;
  }
  if (row < 1)
    return false;
  Row = row - 1;
  Col = col - 1;
  return true;
}

// A number of a <v> element; false when the text is none.
bool ParseValue(std::string_view S, double& V)
{
  while (!S.empty() && (S.front() == ' ' || S.front() == '\n' || S.front() == '\t' || S.front() == '\r'))
    S.remove_prefix(1);
  while (!S.empty() && (S.back() == ' ' || S.back() == '\n' || S.back() == '\t' || S.back() == '\r'))
    S.remove_suffix(1);
  if (!S.empty() && S.front() == '+')
    S.remove_prefix(1);
  if (S.empty() || !(std::isdigit(static_cast<unsigned char>(S.front())) || S.front() == '-' || S.front() == '.'))
    return false;
  const auto r = std::from_chars(S.data(), S.data() + S.size(), V);
  return r.ec == std::errc() && r.ptr == S.data() + S.size();
}

// An ISO date "2020-01-31" with an optional time "T12:30:00" as a serial day; false otherwise.
bool ParseIsoDate(std::string_view S, double& V)
{
  int y = 0, m = 0, d = 0, h = 0, mi = 0;
  double sec = 0.0;
  auto num = [&S](std::size_t From, std::size_t Len, int& Out) {
    return From + Len <= S.size() &&
           std::from_chars(S.data() + From, S.data() + From + Len, Out).ptr == S.data() + From + Len;
  };
  if (!num(0, 4, y) || S.size() < 10 || S[4] != '-' || !num(5, 2, m) || S[7] != '-' || !num(8, 2, d))
    return false;
  if (S.size() >= 16 && S[10] == 'T' && num(11, 2, h) && S[13] == ':' && num(14, 2, mi)) {
    if (S.size() > 17 && S[16] == ':')
      std::from_chars(S.data() + 17, S.data() + S.size(), sec);
  }
  if (m < 1 || m > 12 || d < 1 || d > 31)
    return false;
  V = SerialDay(y, m, d, h, mi, sec);
  return true;
}

struct TSheetPart : THandlerBase {
  TSheetGrid& Grid;
  const std::vector<bool>& XfIsDate;
  const double DateShift;  // days added to a date cell's serial (1462 in the 1904 system)
  const TReadControl& Control;
  const std::size_t Size;
  TSheetPart(TSheetGrid& G, const std::vector<bool>& Xf, double Shift, const TReadControl& C, std::size_t S)
      : Grid(G), XfIsDate(Xf), DateShift(Shift), Control(C), Size(S)
  {
  }

  std::int64_t Row = -1, Col = -1;
  // The cell being read.
  std::string Type;
  long Style = -1;
  bool HasFormula = false, HasValue = false, InValue = false, InInline = false, InText = false;
  std::string Text;
  std::size_t Cells = 0;

  void start_element(std::string_view E)
  {
    if (E == "row") {
      const long r = ToLong(AttrView("r"));
      if (r > MaxSheetRows)
        throw EOrvexSheetError("row " + Attr("r") + " lies outside the sheet");
      Row = r >= 1 ? r - 1 : Row + 1;
      Col = -1;
    } else if (E == "c") {
      std::int64_t r = 0, c = 0;
      const std::string_view ref = AttrView("r");
      if (!ref.empty() && ParseReference(ref, r, c)) {
        Row = r;
        Col = c;
      } else if (!ref.empty()) {
        throw EOrvexSheetError("the cell reference \"" + std::string(ref.substr(0, 40)) + "\" is not valid");
      } else {
        ++Col;
        Row = std::max<std::int64_t>(Row, 0);
      }
      Type.assign(AttrView("t"));
      Style = ToLong(AttrView("s"));
      HasFormula = HasValue = InValue = InInline = InText = false;
      Text.clear();
      if (++Cells % 4096 == 0) {
        if (Control.Cancel && Control.Cancel->load())
          throw TCancelled();
        if (Control.Progress && Size > 0)
          Control.Progress(0.9 * static_cast<double>(Position) / static_cast<double>(Size));
      }
    } else if (E == "f") {
      HasFormula = true;
    } else if (E == "v") {
      InValue = HasValue = true;
    } else if (E == "is") {
      InInline = HasValue = true;
    } else if (E == "t" && InInline) {
      InText = true;
    }
      }

  void end_element(std::string_view E)
  {
    if (E == "v")
      InValue = false;
    else if (E == "t")
      InText = false;
    else if (E == "is")
      InInline = false;
    else if (E == "c")
      EndCell();
  }

  void characters(std::string_view V)
  {
    if (InValue || InText) {
      if (Text.size() + V.size() > Grid.Budget())
        throw EOrvexSheetError("a cell's text is larger than the file allows");
      Text.append(V);
    }
  }

  void EndCell()
  {
    if (Col < 0 || Row < 0)
      return;
    if (!HasValue || (HasFormula && Text.empty() && Type != "str" && Type != "inlineStr")) {
      // A formula without its cached value; a cell with neither is only formatted: no cell.
      if (HasFormula)
        Grid.SetNoValue(Row, Col);
      return;
    }
    double v = 0.0;
    if (Type == "s") {
      const long i = ToLong(Text);
      if (i < 0)
        throw EOrvexSheetError("cell " + CellReference(Row, Col) + " refers to no shared text");
      Grid.SetSharedText(Row, Col, static_cast<std::uint32_t>(i));
    } else if (Type == "str" || Type == "inlineStr") {
      if (IsErrorText(Text))
        Grid.SetError(Row, Col);
      else
        Grid.SetText(Row, Col, Text);
    } else if (Type == "b") {
      Grid.SetNumber(Row, Col, Text == "1" || Text == "true" ? 1.0 : 0.0);
    } else if (Type == "e") {
      Grid.SetError(Row, Col);
    } else if (Type == "d") {
      if (ParseIsoDate(Text, v))
        Grid.SetNumber(Row, Col, v);
      else
        Grid.SetError(Row, Col);
    } else if (ParseValue(Text, v)) {
      const bool date = Style >= 0 && static_cast<std::size_t>(Style) < XfIsDate.size() &&
                        XfIsDate[static_cast<std::size_t>(Style)];
      Grid.SetNumber(Row, Col, date ? v + DateShift : v);
    } else {
      Grid.SetError(Row, Col);
    }
  }
};

// A handler that only lets the parser check the part.
struct TNoHandler : THandlerBase {
  void start_element(std::string_view) {}
  void end_element(std::string_view) {}
};

// Refuses a package whose central directory declares a part larger than its compressed data can
// inflate to (deflate gives at most 1032 bytes per byte) or whose compressed data lies beyond
// the package: the unpacker allocates the declared size before it inflates anything.
void CheckDeclaredSizes(std::string_view Package)
{
  auto u16 = [&](std::size_t At) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(Package[At])) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(Package[At + 1])) << 8;
  };
  auto u32 = [&](std::size_t At) { return u16(At) | u16(At + 2) << 16; };
  const std::size_t n = Package.size();
  if (n < 22)
    return;  // no directory: the unpacker refuses it
  // The end-of-directory record: within the last 22 + 65,535 bytes.
  std::size_t end = std::string_view::npos;
  for (std::size_t at = n - 22;; --at) {
    if (u32(at) == 0x06054b50U) {
      end = at;
      break;
    }
    if (at == 0 || n - at > 22 + 65535)
      break;
  }
  if (end == std::string_view::npos)
    return;
  // The directory's entries, followed from the first one at or after its recorded start (the
  // unpacker accepts a start that is a little off, and a damaged entry count), up to the record.
  const std::size_t declared = u32(end + 16);
  std::size_t at = Package.find("PK\x01\x02", declared > 16 ? declared - 16 : 0);
  for (; at != std::string_view::npos && at + 46 <= end && u32(at) == 0x02014b50U;) {
    const std::uint64_t compressed = u32(at + 20), size = u32(at + 24);
    if (compressed > n || size > compressed * 1032 + 1024)
      throw EOrvexSheetError("the package declares a part larger than its data (it is damaged)");
    at += 46 + u16(at + 28) + u16(at + 30) + u16(at + 32);
  }
}

}  // namespace

void CheckXmlParts(std::string_view Package)
{
  CheckDeclaredSizes(Package);
  orcus::zip_archive_stream_blob stream(reinterpret_cast<const std::uint8_t*>(Package.data()), Package.size());
  orcus::zip_archive zip(&stream);
  zip.load();
  std::vector<unsigned char> xml;
  for (std::size_t i = 0; i < zip.get_file_entry_count(); ++i) {
    const std::string_view name = zip.get_file_entry_name(i);
    if (name.size() < 4 || name.substr(name.size() - 4) != ".xml")
      continue;
    if (!zip.read_file_entry(name, xml))
      throw EOrvexSheetError("the part \"" + std::string(name) + "\" cannot be unpacked");
    TNoHandler check;
    ParseXml(xml, check, name);
  }
}

TPackageRead ReadXlsxPackage(std::string_view Package, const TSheetChoice& Choice, TSheetGrid* Grid,
                             const TReadControl& Control)
{
  CheckDeclaredSizes(Package);
  orcus::zip_archive_stream_blob stream(reinterpret_cast<const std::uint8_t*>(Package.data()), Package.size());
  orcus::zip_archive zip(&stream);
  zip.load();
  std::vector<unsigned char> xml;
  auto readPart = [&](const std::string& Name) { return zip.read_file_entry(Name, xml); };

  // Where the workbook part is.
  std::string workbookPath = "xl/workbook.xml";
  if (readPart("_rels/.rels")) {
    TRels rels;
    ParseXml(xml, rels, "_rels/.rels");
    for (const auto& [id, rel] : rels.ById)
      if (EndsWith(rel.Type, "/officeDocument"))
        workbookPath = ResolvePart("", rel.Target);
  }
  if (!readPart(workbookPath))
    throw EOrvexSheetError("the package holds no workbook part (it is no xlsx workbook)");
  TWorkbookPart workbook;
  ParseXml(xml, workbook, workbookPath);
  if (workbook.Sheets.empty())
    throw EOrvexSheetError("the workbook holds no sheet");

  TPackageRead out;
  for (const auto& s : workbook.Sheets)
    out.SheetNames.push_back(s.Name);
  if (!Grid)
    return out;
  for (std::size_t i = 0; i < workbook.Sheets.size() && !out.Used; ++i)
    if (Choice.ByName(workbook.Sheets[i].Name))
      out.Used = i;
  for (std::size_t i = 0; i < workbook.Sheets.size() && !out.Used; ++i)
    if (Choice.ByNumber(i))
      out.Used = i;
  if (!out.Used)
    return out;

  // The workbook's relationships: the sheet, the shared strings, the styles.
  const std::size_t slash = workbookPath.rfind('/');
  const std::string dir = slash == std::string::npos ? std::string() : workbookPath.substr(0, slash + 1);
  const std::string relsPath = dir + "_rels/" + workbookPath.substr(slash == std::string::npos ? 0 : slash + 1) + ".rels";
  TRels rels;
  if (!readPart(relsPath))
    throw EOrvexSheetError("the package lacks the workbook's relationships");
  ParseXml(xml, rels, relsPath);
  std::string sheetPath, stringsPath, stylesPath;
  for (const auto& [id, rel] : rels.ById) {
    if (id == workbook.Sheets[*out.Used].RelId)
      sheetPath = ResolvePart(dir, rel.Target);
    else if (EndsWith(rel.Type, "/sharedStrings"))
      stringsPath = ResolvePart(dir, rel.Target);
    else if (EndsWith(rel.Type, "/styles"))
      stylesPath = ResolvePart(dir, rel.Target);
  }
  TStylesPart styles;
  if (!stylesPath.empty() && readPart(stylesPath))
    ParseXml(xml, styles, stylesPath);
  if (!stringsPath.empty() && readPart(stringsPath)) {
    TSharedStringsPart strings(*Grid);
    ParseXml(xml, strings, stringsPath);
  }
  if (sheetPath.empty() || !readPart(sheetPath))
    throw EOrvexSheetError("the part of sheet \"" + workbook.Sheets[*out.Used].Name + "\" is missing");
  // 1 January 1904 is day 1462 of the count from 30 December 1899.
  // A cell takes at least 20 bytes of XML ("<c r="A1"><v>1</v></c>"); most take 25 to 40.
  Grid->Reserve(xml.size() / 28);
  TSheetPart sheet(*Grid, styles.XfIsDate, workbook.Date1904 ? 1462.0 : 0.0, Control, xml.size());
  ParseXml(xml, sheet, sheetPath);
  return out;
}

}  // namespace orvex::wbook
