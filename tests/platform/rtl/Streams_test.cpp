// Memory and file streams: positions, growth, short transfers, open and
// share modes, and the errors that name the file.
#include "rtl/Streams.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

namespace {

AnsiString ReadAll(TStream& s) {
  AnsiString r(static_cast<size_t>(s.Size()), '\0');
  s.SetPosition(0);
  s.ReadBuffer(r.data(), static_cast<int32_t>(r.size()));
  return r;
}

// Accepts `limit` bytes, then refuses every write.
class TFailingStream : public TMemoryStream {
 public:
  explicit TFailingStream(int64_t limit) : limit_(limit) {}
  int32_t Write(const void* buffer, int32_t count) override {
    int32_t n = static_cast<int32_t>(std::max<int64_t>(0, std::min<int64_t>(count, limit_ - Size())));
    return TMemoryStream::Write(buffer, n);
  }

 private:
  int64_t limit_;
};

TEST(MemoryStream, ReadWriteSeek) {
  TMemoryStream m;
  m.WriteBuffer("hello", 5);
  EXPECT_EQ(m.Size(), 5);
  EXPECT_EQ(m.Position(), 5);
  EXPECT_EQ(m.Seek(-3, soEnd), 2);
  char buf[8] = {};
  EXPECT_EQ(m.Read(buf, 8), 3);
  EXPECT_STREQ(buf, "llo");
  EXPECT_EQ(m.Read(buf, 8), 0);
  m.SetPosition(8);  // past the end: writing fills the gap with zeros
  m.WriteBuffer("!", 1);
  EXPECT_EQ(ReadAll(m), AnsiString("hello\0\0\0!", 9));
  m.SetSize(2);
  EXPECT_EQ(m.Position(), 2);
  EXPECT_EQ(ReadAll(m), "he");
  m.Seek(-10, soBeginning);
  EXPECT_EQ(m.Write("x", 1), 0);
  EXPECT_EQ(m.Read(buf, 1), 0);
  m.Clear();
  EXPECT_EQ(m.Size(), 0);
}

TEST(MemoryStream, ShortTransfersRaise) {
  TStringStream s("abc");
  char buf[4];
  EXPECT_THROW(s.ReadBuffer(buf, 4), EReadError);
  s.SetPosition(0);
  EXPECT_NO_THROW(s.ReadBuffer(buf, 3));
  TFailingStream f(4);
  EXPECT_NO_THROW(f.WriteBuffer("abcd", 4));
  EXPECT_THROW(f.WriteBuffer("e", 1), EWriteError);
  try {
    s.ReadBuffer(buf, 1);
  } catch (const EReadError& e) {
    EXPECT_EQ(e.Message(), "Ошибка чтения потока");
  }
}

TEST(MemoryStream, CopyFrom) {
  TStringStream source("0123456789");
  source.SetPosition(10);
  TMemoryStream whole;
  EXPECT_EQ(whole.CopyFrom(&source, 0), 10);  // 0: all of it, from the start
  EXPECT_EQ(ReadAll(whole), "0123456789");
  source.SetPosition(3);
  TStringStream part;
  EXPECT_EQ(part.CopyFrom(&source, 4), 4);
  EXPECT_EQ(part.DataString(), "3456");
  source.SetPosition(8);
  EXPECT_THROW(part.CopyFrom(&source, 5), EReadError);
  TFailingStream small(3);
  EXPECT_THROW(small.CopyFrom(&source, 0), EWriteError);
}

TEST(MemoryStream, LoadAndSave) {
  TStringStream source("данные");
  source.SetPosition(3);
  TMemoryStream m;
  m.LoadFromStream(&source);
  EXPECT_EQ(m.Position(), 0);
  EXPECT_EQ(ReadAll(m), "данные");
  TStringStream out;
  m.SaveToStream(&out);
  EXPECT_EQ(out.DataString(), "данные");
  TBytesStream bytes(TBytes{1, 2, 3});
  EXPECT_EQ(bytes.Size(), 3);
  bytes.SetPosition(3);
  bytes.WriteBuffer("\x04", 1);
  EXPECT_EQ(bytes.Bytes(), (TBytes{1, 2, 3, 4}));
}

class FileStreamTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device rd;
    dir_ = GetTempDir() + "ks_rtl_streams_" + IntToStr(rd()) + PathDelim;
    ASSERT_TRUE(ForceDirectories(dir_));
    name_ = dir_ + "файл.bin";
  }
  void TearDown() override { std::filesystem::remove_all(dir_.c_str()); }
  void Make(const AnsiString& content) {
    TFileStream f(name_, fmCreate);
    f.WriteBuffer(content.data(), static_cast<int32_t>(content.size()));
  }
  AnsiString dir_, name_;
};

TEST_F(FileStreamTest, CreateWriteReopenRead) {
  Make("первая строка");
  {
    TFileStream f(name_, fmOpenReadWrite | fmShareExclusive);
    EXPECT_EQ(ReadAll(f), "первая строка");
    f.Seek(0, soEnd);
    f.WriteBuffer("!", 1);
    f.SetSize(3);
    EXPECT_EQ(f.Size(), 3);
  }
  {
    TFileStream r(name_, fmOpenRead | fmShareDenyWrite);
    EXPECT_EQ(ReadAll(r), "пер");
    EXPECT_EQ(r.Write("x", 1), 0);  // opened for reading only
    EXPECT_THROW(r.WriteBuffer("x", 1), EWriteError);
  }
  Make("n");  // fmCreate truncates an existing file
  TFileStream r(name_, fmOpenRead | fmShareDenyNone);
  EXPECT_EQ(ReadAll(r), "n");
}

TEST_F(FileStreamTest, ErrorsNameTheFile) {
  try {
    TFileStream f(dir_ + "нет.bin", fmOpenRead);
    FAIL();
  } catch (const EFOpenError& e) {
    EXPECT_NE(e.Message().find(dir_ + "нет.bin"), AnsiString::npos) << e.Message();
  }
  try {
    TFileStream f(dir_ + "нет" + PathDelim + "x.bin", fmCreate);
    FAIL();
  } catch (const EFCreateError& e) {
    EXPECT_NE(e.Message().find("x.bin"), AnsiString::npos) << e.Message();
  }
}

TEST_F(FileStreamTest, ShareModes) {
  Make("x");
  struct {
    uint32_t first, second;
    bool win, native;  // whether the second open succeeds
  } cases[] = {
      {fmOpenRead | fmShareDenyWrite, fmOpenRead | fmShareDenyWrite, true, true},
      {fmOpenRead | fmShareDenyNone, fmOpenReadWrite | fmShareDenyNone, true, true},
      {fmOpenRead, fmOpenRead, false, false},  // compat shares nothing
      {fmOpenRead | fmShareExclusive, fmOpenRead | fmShareDenyWrite, false, false},
      {fmOpenRead | fmShareDenyWrite, fmOpenRead | fmShareExclusive, false, false},
      {fmOpenRead | fmShareDenyWrite, fmOpenWrite | fmShareDenyNone, false, true},
      {fmOpenRead | fmShareExclusive, fmOpenRead | fmShareDenyNone, false, true},
      {fmOpenReadWrite | fmShareDenyNone, fmOpenRead | fmShareDenyWrite, false, true},
      {fmOpenRead | fmShareDenyWrite, fmCreate, false, false},
  };
#ifdef _WIN32
  const bool windows = true;
#else
  const bool windows = false;
#endif
  for (auto c : cases) {
    SCOPED_TRACE(::testing::Message() << std::hex << c.first << " then " << c.second);
    TFileStream first(name_, c.first);
    bool opened = true;
    try {
      TFileStream second(name_, c.second);
    } catch (const EStreamError&) {
      opened = false;
    }
    EXPECT_EQ(opened, windows ? c.win : c.native);
  }
}

TEST_F(FileStreamTest, MemoryStreamFiles) {
  TStringStream s("содержимое");
  TMemoryStream m;
  m.LoadFromStream(&s);
  m.SaveToFile(name_);
  TMemoryStream back;
  back.LoadFromFile(name_);
  EXPECT_EQ(ReadAll(back), "содержимое");
  EXPECT_THROW(back.LoadFromFile(dir_ + "нет.bin"), EFOpenError);
}

}  // namespace
