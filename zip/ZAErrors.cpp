#include "zip/ZAErrors.h"

#include <array>
#include <utility>

namespace {

// Error number -> index of its text, searched from the first pair.
constexpr std::pair<int32_t, int32_t> CODES[] = {
    {0, 0},   {1, 1},   {2, 1},   {3, 1},   {4, 1},   {5, 2},   {6, 3},   {7, 1},   {8, 4},
    {9, 5},   {10, 5},  {11, 6},  {12, 6},  {13, 7},  {14, 7},  {15, 6},  {16, 1},  {17, 8},
    {18, 6},  {19, 9},  {20, 10}, {21, 1},  {22, 11}, {23, 9},  {24, 1},  {25, 11}, {26, 13},
    {27, 14}, {28, 15}, {29, 5},  {30, 6},  {31, 6},  {32, 16}, {33, 12}, {34, 17}, {35, 18},
    {36, 19}, {37, 20}, {38, 6},  {39, 21}, {40, 22}, {41, 23}, {42, 6},  {43, 23}, {44, 24},
    {45, 24}, {46, 25}, {47, 26}, {48, 27}, {49, 28}, {50, 29}, {51, 30}, {52, 31}, {53, 6},
    {54, 6},  {55, 32}, {56, 33}, {57, 27}, {58, 34}, {59, 34}, {60, 35}, {61, 36}, {62, 37},
};

const std::array<const char*, 41> MESSAGES = {
    "Unknown error",
    "Index out of bounds",
    "Invalid compression mode. Mode must be in [0-9] range",
    "Unexpected nil pointer",
    "Invalid size or check sum of file or unsupported compression format",
    "File name is blank. Specify appropriate file name",
    "File \"%s\" not found",
    "Archive is not open",
    "SFXStub property is not specified",
    "Cannot create file \"%s\"",
    "Cannot create directory \"%s\"",
    "Internal error. Update is not started",
    "Cannot open file \"%s\"",
    "Cannot proceed when update is not ended. Preceding EndUpdate call is required.",
    "Cannot delete file \"%s\"",
    "In-memory archive can be created only",
    "File is open in read-only mode",
    "Invalid compressed size, rfs.size = %d, count = %d",
    "Invalid archive file.",
    "Cannot create output file. Probably file is locked by another process. FileName = '%s'.",
    "Archive is open. You should close it beore performing this operation.",
    "Unable to create directory",
    "Cannot find Zip64 directory end record",
    "Cannot compress file '%s'. Zip64 mode is not enabled",
    "Cannot open archive file. Opening aborted or invalid file",
    "Write to stream error",
    "Cannot place SFX stub on volume. Volume size limit is too small",
    "Archive is damaged. Open failed",
    "MakeSFX is not allowed for splitted or spanned archives. Set SFXStub before archive "
    "creation instead of MakeSFX",
    "Archive already has SFX stub",
    "Multi-volume archive is not allowed for custom stream",
    "Multi-spanned archive is not allowed for modification. Use BeginUpdate/EndUpdate methods to "
    "add files several times",
    "Deflate64 compression method is not supported",
    "MakeSFX error",
    "Hashed list of file names is invalid",
    "Cannot delete folder \"%s\"",
    "File name is too long: \r\n\"%s\"",
    "Multiple transactions are not supported for multi-volume archives",
    "",
    "",
    "",
};

AnsiString FullMessage(int32_t nativeError, AnsiString text, TComponent* component) {
  if (component && !component->Name().empty()) text = Format("%s: %s", {component->Name(), text});
  AnsiString number = Format("%5d", {nativeError});
  for (char& c : number)
    if (c == ' ') c = '0';
  return text + " - Native error: " + number;
}

}  // namespace

int32_t ZAErrorCode(int32_t nativeError) {
  for (const auto& [number, index] : CODES)
    if (number == nativeError) return index;
  return 0;
}

EZAException::EZAException(int32_t nativeError, TComponent* component)
    : Exception(FullMessage(nativeError, MESSAGES[ZAErrorCode(nativeError)], component)),
      NativeError(nativeError),
      ErrorCode(ZAErrorCode(nativeError)) {}

EZAException::EZAException(int32_t nativeError, std::initializer_list<TVarRec> args,
                           TComponent* component)
    : Exception(
          FullMessage(nativeError, Format(MESSAGES[ZAErrorCode(nativeError)], args), component)),
      NativeError(nativeError),
      ErrorCode(ZAErrorCode(nativeError)) {}

int ZlibCheck(int result) {
  if (result < 0) throw ECompressionError("error");
  return result;
}
