#include "common/uTools.h"

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
