// The rows of an ASC file, parsed block by block straight into the table's column-major
// storage, on several threads when a block is large.
//
// The rows are a stream of units: per row the attribute (with flag 1) and one value per
// column; a value "(" takes the next token with it. The text after the header is cut into
// chunks at token boundaries (never between a lone "(" and its token). A first pass counts
// the units of every chunk, which gives each chunk the unit it starts with, hence its row and
// column; a second pass parses the chunks that hold data. Every chunk stops at its first error,
// and the first chunk in file order that has one decides the outcome, so the result is the
// same for any number of threads and chunks. Chunks after the deciding one may have written
// cells of the rows the table then drops or clears.
#include "orvex_datatable.h"
#include "orvex_datatable_asc.h"
#include "orvex_taskpool.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace orvex::asc {

namespace {

inline bool IsBlank(char C) { return static_cast<unsigned char>(C) <= 32; }

struct TChunk {
  std::size_t Begin = 0;
  std::size_t End = 0;
  std::int64_t Units = 0;      // first pass
  std::int64_t FirstUnit = 0;  // unit index of the chunk's first unit
  // second pass
  int Code = ascOK;
  std::int64_t StopUnit = 0;  // the failing unit, or the first unit not taken
  std::size_t StopPos = 0;    // after the last token taken
  std::size_t States = 0;
  bool Parsed = false;
};

// The tokens of Text[Pos, End), where the byte before Pos is a delimiter: the bytes above 32
// whose predecessor is not, sixteen bytes at a time where the processor allows. (A processor
// with the population count instruction takes the clone that has it; elsewhere the count is a
// library call per sixteen bytes.)
#if defined(__x86_64__) && defined(__GNUC__)
__attribute__((target_clones("arch=x86-64-v2", "default")))
#endif
std::int64_t CountTokens(const char* Text, std::size_t Pos, std::size_t End)
{
  std::int64_t tokens = 0;
  unsigned previous = 0;  // 1 when the byte before is part of a token
#if defined(__SSE2__)
  const __m128i space = _mm_set1_epi8(32);
  const __m128i zero = _mm_setzero_si128();
  for (; Pos + 16 <= End; Pos += 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Text + Pos));
    // Above 32: above 32 as a signed byte, or 128 and above (negative as a signed byte).
    const __m128i above = _mm_or_si128(_mm_cmpgt_epi8(bytes, space), _mm_cmplt_epi8(bytes, zero));
    const auto mask = static_cast<unsigned>(_mm_movemask_epi8(above));
    tokens += __builtin_popcount(mask & ~((mask << 1) | previous));
    previous = mask >> 15;
  }
#endif
  for (; Pos < End; ++Pos) {
    const unsigned inside = IsBlank(Text[Pos]) ? 0u : 1u;
    tokens += inside & ~previous;
    previous = inside;
  }
  return tokens;
}

std::int64_t CountUnits(const char* Text, std::size_t Pos, std::size_t End)
{
  // Without an opening parenthesis every token is a unit.
  if (!std::memchr(Text + Pos, '(', End - Pos))
    return CountTokens(Text, Pos, End);
  std::int64_t units = 0;
  for (;;) {
    while (Pos < End && IsBlank(Text[Pos]))
      ++Pos;
    if (Pos == End)
      return units;
    const std::size_t start = Pos;
    while (Pos < End && !IsBlank(Text[Pos]))
      ++Pos;
    ++units;
    if (Pos - start == 1 && Text[start] == '(') {
      while (Pos < End && IsBlank(Text[Pos]))
        ++Pos;
      while (Pos < End && !IsBlank(Text[Pos]))
        ++Pos;
    }
  }
}

constexpr double Pow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                            1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

inline bool IsDigit(char C) { return static_cast<unsigned>(C - '0') < 10u; }

// The common number in one pass over its bytes: optional sign, at most 19 digits with an
// optional point, an optional short exponent, and a value that ParseNumber's exact path gives
// (the same operations, so the same double). Returns the end of the token, or nullptr when the
// token is anything else (then ParseNumber or the special tokens decide). The token must be
// followed by a byte below 33.
inline const char* FastNumber(const char* P, double& Value)
{
  const bool negative = *P == '-';
  if (*P == '-' || *P == '+')
    ++P;
  std::uint64_t digits = 0;
  const char* start = P;
  while (IsDigit(*P))
    digits = digits * 10 + static_cast<unsigned>(*P++ - '0');
  std::ptrdiff_t count = P - start;
  std::ptrdiff_t fraction = 0;
  if (*P == '.') {
    const char* f = ++P;
    while (IsDigit(*P))
      digits = digits * 10 + static_cast<unsigned>(*P++ - '0');
    fraction = P - f;
    count += fraction;
  }
  if (count == 0 || count > 19)
    return nullptr;
  int exponent = 0;
  if (*P == 'e' || *P == 'E') {
    ++P;
    const bool expNegative = *P == '-';
    if (*P == '-' || *P == '+')
      ++P;
    const char* e = P;
    while (IsDigit(*P) && P - e < 4)
      exponent = exponent * 10 + (*P++ - '0');
    if (P == e)
      return nullptr;
    if (expNegative)
      exponent = -exponent;
  }
  if (!IsBlank(*P))
    return nullptr;
  const auto scale = static_cast<int>(exponent - fraction);
  if (digits > (std::uint64_t(1) << 53) || scale < -22 || scale > 22)
    return nullptr;
  // Below 2^53 + 1 the digits fit a signed conversion, which is one instruction.
  const auto m = static_cast<double>(static_cast<std::int64_t>(digits));
  const double v = scale >= 0 ? m * Pow10[scale] : m / Pow10[-scale];
  Value = negative ? -v : v;
  return P;
}

void ParseChunk(const char* Text, TChunk& C, std::int64_t NrUnits, const TRowTarget& T)
{
  const int attribs = T.Attribs ? 1 : 0;
  const auto unitsPerRow = static_cast<std::int64_t>(T.NrCols) + attribs;
  const auto rows = static_cast<std::size_t>(T.NrRows);
  std::int64_t u = C.FirstUnit;
  auto row = static_cast<std::size_t>(u / unitsPerRow);
  auto col = static_cast<int>(u % unitsPerRow);
  std::size_t pos = C.Begin;
  const std::size_t end = C.End;
  // Every token of the chunk is followed by a byte below 33 (a blank, or the one after the
  // text), so only the blanks need a bound.
  const auto tokenEnd = [&](std::size_t From) {
    while (!IsBlank(Text[From]))
      ++From;
    return From;
  };
  C.Parsed = true;
  while (u < NrUnits) {
    while (pos < end && IsBlank(Text[pos]))
      ++pos;
    if (pos == end)
      break;
    if (attribs && col == 0) {
      const std::size_t stop = tokenEnd(pos);
      double a = 0.0;
      const double rounded = ParseNumber(std::string_view(Text + pos, stop - pos), a)
                                 ? std::nearbyint(a)
                                 : std::numeric_limits<double>::quiet_NaN();
      pos = stop;
      if (!(rounded >= std::numeric_limits<std::int32_t>::min() && rounded <= std::numeric_limits<std::int32_t>::max())) {
        C.Code = ascBadRowAttrib;
        break;
      }
      T.RowAttribs[row] = static_cast<std::int32_t>(rounded);
    } else {
      const auto c = static_cast<std::size_t>(col - attribs);
      double v = 0.0;
      if (const char* after = FastNumber(Text + pos, v)) {
        pos = static_cast<std::size_t>(after - Text);
        T.Columns[c][row] = v;
      } else {
        std::size_t stop = tokenEnd(pos);
        std::string_view tok(Text + pos, stop - pos);
        std::uint8_t state = 0;
        bool ok = true;
        if (tok == "NAN") {
          state = csNotANumber;
        } else if (tok == "###") {
          state = csEmpty;
        } else if (tok.size() == 1 && tok[0] == '(') {
          pos = stop;
          while (pos < end && IsBlank(Text[pos]))
            ++pos;
          stop = pos < end ? tokenEnd(pos) : pos;
          tok = std::string_view(Text + pos, stop - pos);
          ok = tok.size() >= 2 && tok.back() == ')' && ParseNumber(tok.substr(0, tok.size() - 1), v);
          state = csParenthesized;
        } else {
          ok = ParseNumber(tok, v);
        }
        pos = stop;
        if (!ok) {
          C.Code = ascBadValue;
          break;
        }
        T.Columns[c][row] = v;
        if (state != 0) {
          T.States[c * rows + row] = state;
          ++C.States;
        }
      }
    }
    ++u;
    if (++col == unitsPerRow) {
      col = 0;
      ++row;
    }
  }
  C.StopUnit = u;
  C.StopPos = pos;
}

// Runs Work(index) for every index below Count through the library's task runner, on up to
// Threads threads (the caller's included).
template <typename F>
void RunShared(std::size_t Count, int Threads, F Work)
{
  TTaskContext context;
  context.Threads = Threads;
  TTaskPool::Shared().Run(static_cast<int>(Count), [&](int i) { Work(static_cast<std::size_t>(i)); }, context);
}

}  // namespace

int ReadThreads(int Threads)
{
  return Threads > 0 ? Threads : std::min(MathThreadCount(), 2);
}

TRowsOutcome ParseRows(const char* Text, std::size_t Begin, std::size_t End, const TRowTarget& T,
                       std::int64_t FirstUnit, bool Final, int Threads, std::size_t ChunkSize)
{
  Threads = ReadThreads(Threads);
  const std::size_t size = End - Begin;
  // One thread takes the text as one chunk, which needs no counting pass.
  if (ChunkSize == 0)
    ChunkSize = Threads == 1 ? size + 1
                             : std::max<std::size_t>(size / (static_cast<std::size_t>(Threads) * 4) + 1, std::size_t(64) << 10);
  const std::int64_t nrUnits = static_cast<std::int64_t>(T.NrRows) * (T.NrCols + (T.Attribs ? 1 : 0));

  // Chunk boundaries: at the end of a token, and never right after a lone "(".
  std::vector<TChunk> chunks;
  for (std::size_t b = Begin; b < End || chunks.empty();) {
    std::size_t e = End - b > ChunkSize ? b + ChunkSize : End;
    while (e < End && !IsBlank(Text[e]))
      ++e;
    for (;;) {
      std::size_t last = e;  // just after the last token before e
      while (last > b && IsBlank(Text[last - 1]))
        --last;
      if (e == End || last == b || Text[last - 1] != '(' || (last - 1 > Begin && !IsBlank(Text[last - 2])))
        break;
      while (e < End && IsBlank(Text[e]))
        ++e;
      while (e < End && !IsBlank(Text[e]))
        ++e;
    }
    TChunk c;
    c.Begin = b;
    c.End = e;
    chunks.push_back(c);
    b = e;
  }

  if (chunks.size() > 1)
    RunShared(chunks.size(), Threads,
              [&](std::size_t i) { chunks[i].Units = CountUnits(Text, chunks[i].Begin, chunks[i].End); });
  std::int64_t first = FirstUnit;
  std::size_t needed = 0;
  for (TChunk& c : chunks) {
    if (first >= nrUnits)
      break;
    c.FirstUnit = first;
    first += c.Units;
    ++needed;
  }
  RunShared(needed, Threads, [&](std::size_t i) { ParseChunk(Text, chunks[i], nrUnits, T); });

  TRowsOutcome out;
  out.Unit = FirstUnit;
  out.End = Begin;
  for (std::size_t i = 0; i < needed; ++i) {
    const TChunk& c = chunks[i];
    out.States += c.States;
    out.Unit = c.StopUnit;
    out.End = c.StopPos;
    if (c.Code != ascOK) {
      out.Code = c.Code;
      return out;
    }
    if (c.StopUnit == nrUnits)
      return out;
  }
  // The text ran out before the last unit: in the last piece of text the missing token is the
  // error.
  out.End = End;
  if (Final)
    out.Code = T.Attribs && out.Unit % (T.NrCols + 1) == 0 ? ascBadRowAttrib : ascBadValue;
  return out;
}

std::size_t CompleteTokensEnd(const char* Text, std::size_t Begin, std::size_t End)
{
  // Any token but a lone "(" ends a unit; lone "(" tokens may pair with what follows.
  std::size_t e = End;
  while (e > Begin && !IsBlank(Text[e - 1]))
    --e;
  for (;;) {
    std::size_t last = e;
    while (last > Begin && IsBlank(Text[last - 1]))
      --last;
    if (last == Begin || Text[last - 1] != '(' || (last - 1 > Begin && !IsBlank(Text[last - 2])))
      return e;
    e = last - 1;
  }
}

}  // namespace orvex::asc
