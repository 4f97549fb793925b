#include "common/uTools.h"

#include <cmath>

#include "rtl/AnsiText.h"
#include "rtl/Streams.h"
#include "rtl/SysUtils.h"

namespace {

const AnsiString& LogPath() {
  static const AnsiString path = ExtractFilePath(ExeFileName()) + "error.log";
  return path;
}

// One open-write-close per line, so nothing stays open between entries and
// another instance may append in between.
void AppendToLog(const AnsiString& line) {
  const AnsiString& path = LogPath();
  TFileStream file(path, FileExists(path) ? fmOpenWrite | fmShareDenyNone : fmCreate);
  file.Seek(0, soEnd);
  file.WriteBuffer(line.data(), static_cast<int32_t>(line.size()));
}

}  // namespace

void WriteLogLine(const AnsiString& Kind, const AnsiString& Source, const AnsiString& Text) {
  try {
    AnsiString line = FormatDateTime("dd/mm/yy hh:nn:ss:zzz", Now()) + " [" + Kind + "] ";
    if (!Source.empty()) line += "[" + Source + "] ";
    line += StringReplace(Text, "\r\n", "\a", rfReplaceAll) + "\r\n";
    AppendToLog(line);
  } catch (...) {
    // The log is the last resort for errors: it has nowhere to report its own.
  }
}

void WriteEventLog(const AnsiString& Text, const AnsiString& Source) {
  WriteLogLine("EVENT", Source, Text);
}

// ---- File and string helpers -------------------------------------------------

AnsiString IncludeBackslash(const AnsiString& Path) {
  if (Path.empty()) return "\\";
  return Path.back() == '\\' ? Path : Path + "\\";
}

AnsiString ReadFileToString(const AnsiString& FileName) {
  TFileStream File(FileName, fmOpenRead | fmShareDenyWrite);
  AnsiString Result(static_cast<size_t>(File.Size()), '\0');
  if (!Result.empty()) File.ReadBuffer(Result.data(), static_cast<int32_t>(Result.size()));
  return Result;
}

AnsiString PadLeftTo(const AnsiString& S, int Width, char Fill) {
  AnsiString Trimmed = Trim(S);
  int Length = static_cast<int>(Trimmed.size());
  return Width > Length ? AnsiString(Width - Length, Fill) + Trimmed : Trimmed;
}

void SplitString(const AnsiString& S, const AnsiString& Separator, std::vector<AnsiString>& Parts) {
  Parts.clear();
  if (S.empty()) return;
  char Cut = Separator.empty() ? '\0' : Separator[0];
  size_t Start = 0;
  for (size_t I = 0; I < S.size(); ++I) {
    if (S[I] != Cut) continue;
    Parts.push_back(S.substr(Start, I - Start));
    Start = I + 1;
  }
  Parts.push_back(S.substr(Start, 10000));
}

double RoundToDigits(int Digits, double Value) {
  const double Scale = Digits > 0 ? std::pow(10.0, Digits) : 1.0;
  auto RoundUp = [&](double Positive) {
    double V = Positive + 1e-9;
    if (Digits <= 0) return std::nearbyint(V);
    double Whole = std::trunc(V);
    return Whole + std::nearbyint((V - Whole) * Scale) / Scale;
  };
  // Branch on the sign: zero and small positive values stay positive.
  return Value >= 0 ? RoundUp(Value) : -RoundUp(-Value);
}

TDateTime UnixTimeToDateTime(uint32_t Seconds) {
  int32_t Packed = DateTimeToFileDate(UnixToDateTime(Seconds));
  return Packed ? FileDateToDateTime(Packed) : 0;
}

void RaiseJoinedError(const AnsiString& First, const AnsiString& Second) {
  throw Exception(First + "\n\r" + Second);
}
