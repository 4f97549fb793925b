// Archives written and updated by the library, checked by the standard
// tools: unzip, 7z, zip and python's zipfile.
#include <gtest/gtest.h>

#include <cstdio>

#include "tests/zip/ZATestSupport.h"
#include "zip/ZACrypto.h"

namespace {

std::string Utf8(const char8_t* text) { return reinterpret_cast<const char*>(text); }

struct TMember {
  std::string Name;  // as the tools show it (UTF-8)
  AnsiString StoredName;
  AnsiString Data;
};

// What python prints for the members.
std::string Listing(const std::vector<TMember>& members) {
  std::string text;
  for (const TMember& m : members) {
    char crc[16];
    std::snprintf(crc, sizeof crc, "%08x", ZACrc32(m.Data.data(), int32_t(m.Data.size())));
    text += m.Name + "\t" + std::to_string(m.Data.size()) + "\t" + crc + "\n";
  }
  return text;
}

void ExpectToolsAccept(const AnsiString& archive, const std::vector<TMember>& members,
                       const AnsiString& password = "") {
  const std::string pw = password.empty() ? "" : " -P " + Quote(password);
  TToolRun unzip = RunTool("unzip -t -q" + pw + " " + Quote(archive));
  EXPECT_EQ(unzip.Code, 0) << unzip.Output;
  const std::string pw7 = password.empty() ? "" : " -p" + Quote(password);
  TToolRun sevenZip = RunTool("7z t" + pw7 + " " + Quote(archive));
  EXPECT_EQ(sevenZip.Code, 0) << sevenZip.Output;
  TToolRun python = RunTool("python3 " + Quote(KS_ZIP_TEST_DIR "/zipcheck.py") + " list " +
                            Quote(archive) + " " + Quote(password) + " cp866");
  EXPECT_EQ(python.Code, 0) << python.Output;
  EXPECT_EQ(python.Output, Listing(members));
}

// Text lines and pseudo-random bytes in turns, so that deflate has work of
// both kinds.
AnsiString Mixed(size_t size, uint32_t seed) {
  AnsiString data;
  data.reserve(size);
  while (data.size() < size) {
    for (int i = 0; i < 60 && data.size() < size; ++i)
      data += "line " + IntToStr(int64_t(data.size())) + " of the mixed corpus\r\n";
    for (int i = 0; i < 4096 && data.size() < size; ++i) {
      seed = seed * 1103515245 + 12345;
      data += char(seed >> 16);
    }
  }
  data.resize(size);
  return data;
}

const std::vector<TMember>& Members() {
  static const std::vector<TMember> members = {
      {"text.txt", "text.txt", Mixed(3000, 1)},
      {"empty.txt", "empty.txt", ""},
      {"dir/big.bin", "dir\\big.bin", Mixed(1300000, 2)},
      {Utf8(u8"Подписи/Документ №1.sig"), "Подписи/Документ №1.sig", Mixed(700, 3)},
  };
  return members;
}

void Write(const AnsiString& fileName, const std::vector<TMember>& members,
           const std::function<void(TZipArchiver&)>& setUp) {
  TZipArchiver zip(nullptr);
  zip.FileName = fileName;
  setUp(zip);
  zip.OpenArchive();
  zip.BeginUpdate();
  for (const TMember& m : members) zip.AddFromString(m.StoredName, m.Data, ZA_TEST_DATE);
  zip.EndUpdate();
  zip.CloseArchive();
}

TEST(ZAToolsTest, ArchivesOfTheLibraryPassTheTools) {
  TScratchDir dir;
  WriteFile(dir / "stub.bin", "MZ" + AnsiString(1000, '\x90'));
  struct Variant {
    std::string what;
    std::function<void(TZipArchiver&)> setUp;
    AnsiString password;
  };
  std::vector<Variant> variants = {
      {"stored", [](TZipArchiver& zip) { zip.SetCompressionLevel(clNone); }, ""},
      {"encrypted, stored",
       [](TZipArchiver& zip) {
         zip.SetCompressionLevel(clNone);
         zip.Password = "Pa55 word";
       },
       "Pa55 word"},
      {"encrypted, deflated", [](TZipArchiver& zip) { zip.Password = "Pa55 word"; }, "Pa55 word"},
      {"Zip64 always", [](TZipArchiver& zip) { zip.SetZip64Mode(ZA_ZIP64_ALWAYS); }, ""},
      {"stub in front", [&](TZipArchiver& zip) { zip.SFXStub = dir / "stub.bin"; }, ""},
  };
  for (uint8_t mode = 1; mode <= 9; ++mode)
    variants.push_back({"deflate " + std::to_string(mode),
                        [mode](TZipArchiver& zip) { zip.SetCompressionMode(mode); }, ""});
  for (const Variant& v : variants) {
    SCOPED_TRACE(v.what);
    const AnsiString name = dir / "variant.zip";
    DeleteFile(name);
    Write(name, Members(), v.setUp);
    ExpectToolsAccept(name, Members(), v.password);
  }
}

TEST(ZAToolsTest, MembersMovedInFromFilesPassTheTools) {
  TScratchDir dir;
  TZipArchiver zip(nullptr);
  zip.FileName = dir / "moved.zip";
  zip.Password = "Pa55 word";
  zip.OpenArchive();
  zip.BeginUpdate();
  for (size_t i = 0; i < Members().size(); ++i) {
    const AnsiString source = dir / ("source" + IntToStr(int64_t(i)));
    WriteFile(source, Members()[i].Data);
    const int32_t index =
        zip.DirManager()->AddOrReplaceFile(Members()[i].StoredName, source, ZA_ATTR_ARCHIVE, false);
    zip.DirManager()->Items.Items(index).Operation = ZA_OP_MOVE;
  }
  zip.EndUpdate();
  zip.CloseArchive();
  EXPECT_EQ(dir.Files(), std::vector<AnsiString>{"moved.zip"});
  ExpectToolsAccept(dir / "moved.zip", Members(), "Pa55 word");
}

TEST(ZAToolsTest, SixtyFiveThousandFiveHundredThirtySixEntriesGetZip64Records) {
  TScratchDir dir;
  std::vector<TMember> members;
  for (int i = 0; i < 65536; ++i) {
    AnsiString n = "f" + IntToStr(int64_t(i));
    members.push_back({n, n, i % 1000 == 0 ? n : ""});
  }
  const AnsiString name = dir / "many.zip";
  Write(name, members, [](TZipArchiver& zip) { zip.SetCompressionLevel(clNone); });
  const AnsiString bytes = FileContent(name);
  EXPECT_NE(bytes.rfind("PK\x06\x06"), AnsiString::npos);
  EXPECT_NE(bytes.rfind("PK\x06\x07"), AnsiString::npos);
  ExpectToolsAccept(name, members);

  TZipArchiver zip(nullptr);
  zip.FileName = name;
  zip.OpenArchive();
  EXPECT_EQ(zip.DirManager()->Items.Count(), 65536);
  EXPECT_TRUE(zip.DirManager()->IsZip64);
}

// ---- Archives of other tools -------------------------------------------------------

TEST(ZAToolsTest, ArchivesOfOtherToolsOpenUpdateAndStillPass) {
  TScratchDir dir;
  const std::vector<TMember> sources = {{"a.txt", "a.txt", Mixed(5000, 4)},
                                        {"b.bin", "b.bin", Mixed(70000, 5)},
                                        {"c.txt", "c.txt", "short one\n"}};
  for (const TMember& m : sources) WriteFile(dir / m.StoredName, m.Data);
  const std::string cd = "cd " + Quote(dir.Path) + " && ";
  const std::string files = " a.txt b.bin c.txt";
  struct Maker {
    const char* name;
    std::string command;
  } makers[] = {
      {"stored.zip", cd + "zip -q -0 stored.zip" + files},
      {"deflated.zip", cd + "zip -q -9 deflated.zip" + files},
      {"described.zip", cd + "zip -q -fd described.zip" + files},
      {"streamed.zip", cd + "zip -q -" + files + " | cat > streamed.zip"},
      {"python64.zip", "python3 " + Quote(KS_ZIP_TEST_DIR "/zipcheck.py") + " zip64 " +
                           Quote(dir / "python64.zip") + " a.txt=alpha b.bin=beta c.txt=gamma"},
  };
  for (const Maker& m : makers) {
    SCOPED_TRACE(m.name);
    TToolRun made = RunTool(m.command);
    ASSERT_EQ(made.Code, 0) << made.Output;
    const AnsiString name = dir / m.name;
    const AnsiString before = FileContent(name);

    // A failing source leaves the archive as it was.
    {
      TZipArchiver zip(nullptr);
      zip.FileName = name;
      zip.OpenArchive();
      ASSERT_EQ(zip.DirManager()->Items.Count(), 3);
      ExpectZAError(34, [&] {
        zip.AddFromStream("a.txt", new TShortSource(9000, 100), ZA_TEST_DATE, ZA_ATTR_ARCHIVE, -1,
                          0, true);
      });
    }
    EXPECT_EQ(FileContent(name), before);

    // Replacing the first member copies the others back, descriptors and all.
    TToolRun listed =
        RunTool("python3 " + Quote(KS_ZIP_TEST_DIR "/zipcheck.py") + " list " + Quote(name));
    ASSERT_EQ(listed.Code, 0) << listed.Output;
    std::vector<TMember> expected;
    {
      TZipArchiver zip(nullptr);
      zip.FileName = name;
      zip.OpenArchive();
      zip.BeginUpdate();
      zip.AddFromString("a.txt", "replaced", ZA_TEST_DATE);
      zip.AddFromString("new.txt", "added", ZA_TEST_DATE);
      zip.EndUpdate();
      zip.CloseArchive();
    }
    std::string listing = Listing({{"a.txt", "", "replaced"}});
    listing += listed.Output.substr(listed.Output.find('\n') + 1);
    listing += Listing({{"new.txt", "", "added"}});
    TToolRun unzip = RunTool("unzip -t -q " + Quote(name));
    EXPECT_EQ(unzip.Code, 0) << unzip.Output;
    TToolRun sevenZip = RunTool("7z t " + Quote(name));
    EXPECT_EQ(sevenZip.Code, 0) << sevenZip.Output;
    TToolRun python =
        RunTool("python3 " + Quote(KS_ZIP_TEST_DIR "/zipcheck.py") + " list " + Quote(name));
    EXPECT_EQ(python.Output, listing);
  }
}

TEST(ZAToolsTest, Utf8NamesOfPythonSurviveAnUpdate) {
  TScratchDir dir;
  const AnsiString name = dir / "utf8.zip";
  const std::string cyrillic = Utf8(u8"Подписи/Документ №1.sig");
  const std::string check = "python3 " + Quote(KS_ZIP_TEST_DIR "/zipcheck.py");
  TToolRun made =
      RunTool(check + " make " + Quote(name) + " " + Quote(cyrillic + "=signed") + " a.txt=alpha");
  ASSERT_EQ(made.Code, 0) << made.Output;
  ASSERT_EQ(At16(FileContent(name), 6) & ZA_FLAG_UTF8, ZA_FLAG_UTF8);
  TToolRun before = RunTool(check + " list " + Quote(name));
  ASSERT_EQ(before.Code, 0) << before.Output;

  {
    TZipArchiver zip(nullptr);
    zip.FileName = name;
    zip.OpenArchive();
    zip.AddFromString("new.txt", "added", ZA_TEST_DATE);
    zip.CloseArchive();
  }
  TToolRun after = RunTool(check + " list " + Quote(name));
  EXPECT_EQ(after.Code, 0) << after.Output;
  EXPECT_EQ(after.Output, before.Output + Listing({{"new.txt", "", "added"}}));
  TToolRun unzip = RunTool("LC_ALL=C.UTF-8 unzip -l " + Quote(name));
  EXPECT_EQ(unzip.Code, 0) << unzip.Output;
  EXPECT_NE(unzip.Output.find(cyrillic), std::string::npos) << unzip.Output;
  TToolRun tested = RunTool("unzip -t -q " + Quote(name));
  EXPECT_EQ(tested.Code, 0) << tested.Output;
}

// ---- Updates of other tools' archives ---------------------------------------------------

// One member as its bytes lie in an archive: the central record with its
// offset cleared, and everything from its local header to the next member
// or the directory (data descriptor included).
struct TRawMember {
  AnsiString Central;
  AnsiString Stored;
};

struct TRawArchive {
  std::vector<TRawMember> Members;
  AnsiString Comment;
};

// Read straight from the bytes, without the library: the last end record
// whose comment fits, and the directory up to its recorded size.
TRawArchive ReadRaw(const AnsiString& bytes) {
  size_t end = bytes.rfind("PK\x05\x06");
  while (end != AnsiString::npos && end + 22 + At16(bytes, end + 20) > bytes.size())
    end = bytes.rfind("PK\x05\x06", end - 1);
  TRawArchive raw;
  if (end == AnsiString::npos) return raw;
  raw.Comment = bytes.substr(end + 22, At16(bytes, end + 20));
  const size_t directory = At32(bytes, end + 16);
  const size_t directoryEnd = directory + At32(bytes, end + 12);
  std::vector<size_t> offsets;
  for (size_t at = directory; at + 46 <= directoryEnd;) {
    const size_t length = 46 + At16(bytes, at + 28) + At16(bytes, at + 30) + At16(bytes, at + 32);
    AnsiString central = bytes.substr(at, length);
    central.replace(42, 4, 4, '\0');
    offsets.push_back(At32(bytes, at + 42));
    raw.Members.push_back({central, ""});
    at += length;
  }
  std::vector<size_t> sorted = offsets;
  sorted.push_back(directory);
  std::sort(sorted.begin(), sorted.end());
  for (size_t i = 0; i < offsets.size(); ++i) {
    const size_t next = *std::upper_bound(sorted.begin(), sorted.end(), offsets[i]);
    raw.Members[i].Stored = bytes.substr(offsets[i], next - offsets[i]);
  }
  return raw;
}

// A change an update makes: the name as the caller gives it (ANSI) and as
// python lists it.
struct TChange {
  AnsiString Name;
  std::string Listed;
  AnsiString Data;
};

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  for (size_t at = 0; at < text.size();) {
    const size_t eol = text.find('\n', at);
    lines.push_back(text.substr(at, eol - at + 1));
    at = eol + 1;
  }
  return lines;
}

TEST(ZAToolsTest, UpdatesOfOtherToolsArchivesKeepEveryUntouchedMemberByteForByte) {
  TScratchDir dir;
  const std::string sdacha = Utf8(u8"сдача.txt");
  const std::vector<TMember> sources = {{"a.txt", "a.txt", Mixed(5000, 4)},
                                        {"b.bin", "b.bin", Mixed(70000, 5)},
                                        {"c.txt", "c.txt", "short one\n"},
                                        {sdacha, "", "one letter apart\n"}};
  for (const TMember& m : sources) WriteFile(dir / m.Name, m.Data);
  const std::string cd = "cd " + Quote(dir.Path) + " && ";
  const std::string files = " a.txt b.bin c.txt " + Quote(sdacha);
  const std::string python = "python3 " + Quote(KS_ZIP_TEST_DIR "/zipcheck.py");
  const std::string pythonMembers = " a.txt=alpha b.bin=beta c.txt=gamma " + Quote(sdacha + "=s") +
                                    " " + Quote(Utf8(u8"удача.txt") + "=u") + " " +
                                    Quote(Utf8(u8"Подпись.sig") + "=sig");
  struct Maker {
    const char* name;
    std::string command;
    int trailing;
  } makers[] = {
      {"infozip.zip", cd + "zip -q -9 infozip.zip" + files, 0},
      {"described.zip", cd + "zip -q -fd described.zip" + files, 0},
      {"streamed.zip", cd + "zip -q -" + files + " | cat > streamed.zip", 0},
      {"python.zip", python + " rich " + Quote(dir / "python.zip") + pythonMembers, 0},
      {"trailing.zip", python + " rich " + Quote(dir / "trailing.zip") + pythonMembers, 100},
      {"7zip.zip", cd + "7z a -tzip 7zip.zip" + files + " > /dev/null", 0},
      {"many.zip", python + " many " + Quote(dir / "many.zip") + " 65535 a.txt=alpha c.txt=gamma",
       0},
  };
  const struct {
    const char* what;
    std::vector<TChange> changes;
  } updates[] = {
      {"append", {{"new.txt", "new.txt", "appended"}}},
      {"replace", {{"a.txt", "a.txt", "replaced a"}}},
      {"several at once",
       {{"c.txt", "c.txt", "replaced c"},
        {"удача.txt", Utf8(u8"удача.txt"), "replaced one letter apart"},
        {"Подпись.sig", Utf8(u8"Подпись.sig"), "replaced signature"},
        {"dir\\new.txt", "dir/new.txt", "added"}}},
  };
  for (const Maker& m : makers) {
    TToolRun made = RunTool(m.command);
    ASSERT_EQ(made.Code, 0) << m.name << made.Output;
    const AnsiString name = dir / m.name;
    const AnsiString original = FileContent(name) + AnsiString(size_t(m.trailing), 'Z');
    const TRawArchive before = ReadRaw(original);
    WriteFile(name, original.substr(0, original.size() - size_t(m.trailing)));
    TToolRun listed = RunTool(python + " list " + Quote(name) + " '' cp866");
    ASSERT_EQ(listed.Code, 0) << m.name << listed.Output;
    const std::vector<std::string> listing = Lines(listed.Output);
    ASSERT_EQ(listing.size(), before.Members.size()) << m.name;

    for (const auto& u : updates) {
      SCOPED_TRACE(std::string(m.name) + ", " + u.what);
      const AnsiString work = dir / "work.zip";
      WriteFile(work, original);
      {
        TZipArchiver zip(nullptr);
        zip.FileName = work;
        zip.TempDir = dir.Path;
        zip.OpenArchive();
        zip.BeginUpdate();
        for (const TChange& c : u.changes) zip.AddFromString(c.Name, c.Data, ZA_TEST_DATE);
        zip.EndUpdate();
        zip.CloseArchive();
      }
      TToolRun unzip = RunTool("unzip -t -q " + Quote(work));
      EXPECT_EQ(unzip.Code, 0) << unzip.Output;
      TToolRun sevenZip = RunTool("7z t " + Quote(work));
      EXPECT_EQ(sevenZip.Code, 0) << sevenZip.Output;

      // Replaced members in their places, new ones after all, no name twice.
      std::string expected;
      std::vector<bool> touched(listing.size(), false);
      std::vector<const TChange*> added;
      for (const TChange& c : u.changes) {
        size_t i = 0;
        while (i < listing.size() && listing[i].substr(0, listing[i].find('\t')) != c.Listed) ++i;
        if (i < listing.size())
          touched[i] = true;
        else
          added.push_back(&c);
      }
      for (size_t i = 0; i < listing.size(); ++i) {
        const std::string member = listing[i].substr(0, listing[i].find('\t'));
        const auto change = std::find_if(u.changes.begin(), u.changes.end(),
                                         [&](const TChange& c) { return c.Listed == member; });
        expected += touched[i] ? Listing({{member, "", change->Data}}) : listing[i];
      }
      for (const TChange* c : added) expected += Listing({{c->Listed, "", c->Data}});
      TToolRun after = RunTool(python + " list " + Quote(work) + " '' cp866");
      EXPECT_EQ(after.Code, 0) << after.Output;
      EXPECT_EQ(after.Output, expected);

      // Untouched members keep their name, header fields, comment,
      // attributes and data to the byte; the archive keeps its comment.
      const TRawArchive updated = ReadRaw(FileContent(work));
      ASSERT_EQ(updated.Members.size(), before.Members.size() + added.size());
      EXPECT_EQ(updated.Comment, before.Comment);
      for (size_t i = 0; i < before.Members.size(); ++i) {
        if (touched[i]) continue;
        EXPECT_EQ(updated.Members[i].Central, before.Members[i].Central) << listing[i];
        EXPECT_EQ(updated.Members[i].Stored, before.Members[i].Stored) << listing[i];
      }
    }
  }
}

// ---- Split volumes ------------------------------------------------------------------

TEST(ZAToolsTest, SplitVolumesPassTheToolsWhereverTheEdgesFall) {
  for (const TSplitCase& c : SplitCases()) {
    SCOPED_TRACE(c.What);
    TScratchDir dir;
    WriteSplit(dir / "a.zip", c);
    // The tools look for lower-case ".z01" names here (Windows does not mind).
    ForceDirectories(dir / "tools");
    for (const AnsiString& name : dir.Files())
      if (name != "tools")
        WriteFile(dir / "tools" + PathDelim + LowerCase(name), FileContent(dir / name));
    const std::string archive = dir / "tools" + PathDelim + "a.zip";
    TToolRun sevenZip = RunTool("7z t " + Quote(archive));
    EXPECT_EQ(sevenZip.Code, 0) << sevenZip.Output;
    if (!c.Joinable) continue;
    const std::string joined = dir / "joined.zip";
    TToolRun join = RunTool("zip -q -s 0 " + Quote(archive) + " --out " + Quote(joined));
    ASSERT_EQ(join.Code, 0) << join.Output;
    std::vector<TMember> members;
    for (size_t i = 0; i < c.Sizes.size(); ++i) {
      const std::string name = "m" + std::to_string(i);
      members.push_back({name, name, AnsiString(size_t(c.Sizes[i]), char('a' + i))});
    }
    ExpectToolsAccept(joined, members);
  }
}

}  // namespace
