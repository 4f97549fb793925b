#include "common/uZip.h"

#include <gtest/gtest.h>

#include "tests/zip/ZATestSupport.h"

namespace {

const AnsiString NAME = "Подпись документа.txt.sig";
const AnsiString SIGNATURE = "0\x82\x01\x23 signature bytes " + AnsiString(300, '\x5A');

TEST(uZipTest, OneEntryArchiveIsCompleteInMemory) {
  TZip zip;
  zip.Open(clFastest);
  const uint32_t dosDate = uint32_t(DateTimeToFileDate(ZA_TEST_DATE));
  zip.AddFile(NAME, SIGNATURE, dosDate);
  const AnsiString data = zip.GetData();
  ASSERT_GT(data.size(), 22u);
  EXPECT_EQ(data.substr(0, 4), "PK\x03\x04");
  EXPECT_EQ(At32(data, 10), dosDate);
  EXPECT_EQ(At16(data, 8), ZA_METHOD_DEFLATE);
  EXPECT_EQ(At32(data, data.size() - 22), 0x06054B50u);
  EXPECT_EQ(At16(data, data.size() - 12), 1);  // one entry
  EXPECT_EQ(data.substr(30, NAME.size()), AnsiToOem(NAME));

#ifndef _WIN32
  TScratchDir dir;
  WriteFile(dir / "sig.zip", data);
  TToolRun unzip = RunTool("unzip -t -q " + Quote(dir / "sig.zip"));
  EXPECT_EQ(unzip.Code, 0) << unzip.Output;
  TToolRun python = RunTool(
      "python3 -c 'import sys, zipfile; z = zipfile.ZipFile(sys.argv[1], "
      "metadata_encoding=\"cp866\"); "
      "print(z.namelist()[0], len(z.read(z.namelist()[0])))' " +
      Quote(dir / "sig.zip"));
  EXPECT_EQ(python.Output, reinterpret_cast<const char*>(u8"Подпись документа.txt.sig ") +
                               std::to_string(SIGNATURE.size()) + "\n");
#endif
}

TEST(uZipTest, NoDateMeansNow) {
  TZip zip;
  zip.Open(clNone);
  const int32_t before = DateTimeToFileDate(Now());
  zip.AddFile("a.txt", "abc", 0);
  const AnsiString data = zip.GetData();
  EXPECT_GE(int32_t(At32(data, 10)), before - 2);
  EXPECT_LE(int32_t(At32(data, 10)), DateTimeToFileDate(Now()));
  EXPECT_EQ(At16(data, 8), ZA_METHOD_STORED);
}

TEST(uZipTest, UseBeforeOpenFailsItsAssertion) {
  TZip zip;
  for (auto call : {std::function<void()>([&] { zip.AddFile("a", "b", 0); }),
                    std::function<void()>([&] { zip.GetData(); })}) {
    try {
      call();
      ADD_FAILURE();
    } catch (const EAssertionFailed& e) {
      EXPECT_EQ(e.Message().substr(0, 17), "Assertion failure");
      EXPECT_NE(e.Message().find("uZip"), AnsiString::npos);
    }
  }
}

TEST(uZipTest, DroppedWithoutGetDataRaisesNothing) {
  EXPECT_NO_THROW({
    TZip zip;
    zip.Open(clNormal);
    zip.AddFile("a.txt", "abc", 0);
  });
  TZip reopened;
  reopened.Open(clNormal);
  reopened.AddFile("x", "1", 0);
  reopened.Open(clNormal);
  reopened.AddFile("y", "2", 0);
  const AnsiString data = reopened.GetData();
  EXPECT_EQ(At16(data, data.size() - 12), 1);
}

}  // namespace
