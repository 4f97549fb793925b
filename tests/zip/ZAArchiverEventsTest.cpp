// The archiver's file events: when they are raised, what they are told,
// what a handler's answer does, and what is asked when no handler is set.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/zip/ZATestSupport.h"
#include "zip/ZACrypto.h"

namespace {

// The engine with its event operations in reach, for those no operation of
// the library raises yet.
class TProbe : public TZABaseArchiver {
 public:
  TProbe() : TZABaseArchiver(nullptr) {}
  using TZABaseArchiver::DoConfirmProcessFile;
  using TZABaseArchiver::DoExtractFile;
  using TZABaseArchiver::DoPassword;
  using TZABaseArchiver::DoProcessFileFailure;
  using TZABaseArchiver::DoStoreFile;
};

// Prompts that record each question and answer input boxes from a script.
class TScriptedPrompts {
 public:
  explicit TScriptedPrompts(bool accept = true, AnsiString typed = "")
      : FAccept(accept), FTyped(std::move(typed)) {
    TZAPrompts& p = ZAPrompts();
    p.Confirm = [this](const AnsiString& text) { return Record("confirm: " + text); };
    p.OkCancel = [this](const AnsiString& text) { return Record("ok/cancel: " + text); };
    p.Input = [this](const AnsiString& caption, const AnsiString& prompt, AnsiString& value) {
      Record("input: " + caption + " | " + prompt);
      if (FAccept) value = FTyped;
      return FAccept;
    };
    p.Message = [this](const AnsiString& text) { Record("message: " + text); };
  }
  ~TScriptedPrompts() { ZAPrompts() = TZAPrompts(); }
  std::vector<AnsiString> Asked;

 private:
  bool Record(const AnsiString& text) {
    Asked.push_back(text);
    return FAccept;
  }
  bool FAccept;
  AnsiString FTyped;
};

TEST(ZAArchiverEventsTest, WithoutHandlersTheDefaultsAskThroughThePrompts) {
  const EZAException deleteFailed(27, {"C:\\src\\a.txt"});
  const auto password = [](const AnsiString& name) {
    return [name](TProbe& zip) {
      AnsiString typed = "stale";
      return AnsiString(zip.DoPassword(name, typed) ? "given " : "skip ") + typed;
    };
  };
  struct Case {
    const char* what;
    bool accept;
    std::function<AnsiString(TProbe&)> raise;  // what the operation answered
    AnsiString answer;
    std::vector<AnsiString> asked;
  } cases[] = {
      {"password typed",
       true,
       password("dir/a.txt"),
       "given Pa55 word",
       {"input: Password for \"dir/a.txt\" | Enter password: "}},
      {"password box cancelled",
       false,
       password("a.txt"),
       "skip ",
       {"input: Password for \"a.txt\" | Enter password: "}},
      {"file failure",
       true,
       [&](TProbe& zip) {
         return IntToStr(
             int64_t(zip.DoProcessFileFailure("C:\\src\\a.txt", ZA_OP_MOVE, deleteFailed)));
       },
       IntToStr(int64_t(fxIgnore)),
       {"message: Cannot delete file \"C:\\src\\a.txt\" - Native error: 00027. File processing "
        "error, possibly disk is full"}},
      {"process a file",
       false,
       [](TProbe& zip) { return AnsiString(zip.DoConfirmProcessFile("a.txt", 0) ? "yes" : "no"); },
       "yes",
       {}},
      {"stored and extracted",
       false,
       [](TProbe& zip) {
         zip.DoStoreFile("a/b.txt");
         zip.DoExtractFile("a/b.txt");
         return AnsiString("done");
       },
       "done",
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TScriptedPrompts prompts(c.accept, "Pa55 word");
    TProbe zip;
    EXPECT_EQ(c.raise(zip), c.answer);
    EXPECT_EQ(prompts.Asked, c.asked);
  }
}

TEST(ZAArchiverEventsTest, HandlersAreToldTheFileAndTheirAnswerStands) {
  TScriptedPrompts prompts;
  TProbe zip;
  std::vector<AnsiString> told;

  zip.OnConfirmProcessFile = [&](TObject* sender, const AnsiString& name, uint8_t op,
                                 bool& confirm) {
    EXPECT_EQ(sender, &zip);
    EXPECT_TRUE(confirm);
    told.push_back("confirm " + name + " " + IntToStr(op));
    confirm = name != "skip.txt";
  };
  EXPECT_TRUE(zip.DoConfirmProcessFile("keep.txt", ZA_OP_NEW));
  EXPECT_FALSE(zip.DoConfirmProcessFile("skip.txt", ZA_OP_MOVE));

  zip.OnPassword = [&](TObject*, const AnsiString& name, AnsiString& password, bool& skip) {
    EXPECT_EQ(password, "");
    EXPECT_FALSE(skip);
    told.push_back("password " + name);
    password = "from handler";
    skip = name == "skip.txt";
  };
  AnsiString password;
  EXPECT_TRUE(zip.DoPassword("keep.txt", password));
  EXPECT_EQ(password, "from handler");
  EXPECT_FALSE(zip.DoPassword("skip.txt", password));

  for (TZAFailureAction answer : {fxAbort, fxRetry, fxIgnore}) {
    zip.OnProcessFileFailure = [&](TObject*, const AnsiString& name, uint8_t op,
                                   const EZAException& error, TZAFailureAction& action) {
      EXPECT_EQ(action, fxIgnore);
      told.push_back("failure " + name + " " + IntToStr(op) + " " + IntToStr(error.NativeError));
      action = answer;
    };
    EXPECT_EQ(zip.DoProcessFileFailure("C:\\x", ZA_OP_MOVE, EZAException(60, {"C:\\x"})), answer);
  }

  zip.OnStoreFile = [&](TObject*, const AnsiString& name) { told.push_back("store " + name); };
  zip.OnExtractFile = [&](TObject*, const AnsiString& name) { told.push_back("extract " + name); };
  zip.DoStoreFile("sub/deeper/a.txt");
  zip.DoExtractFile("sub/b.txt");

  EXPECT_EQ(told, (std::vector<AnsiString>{
                      "confirm keep.txt 0", "confirm skip.txt 1", "password keep.txt",
                      "password skip.txt", "failure C:\\x 1 60", "failure C:\\x 1 60",
                      "failure C:\\x 1 60", "store sub\\deeper\\a.txt", "extract sub\\b.txt"}));
  EXPECT_TRUE(prompts.Asked.empty());
}

const std::vector<std::pair<AnsiString, AnsiString>> THREE = {
    {"a.txt", "first member"}, {"b.txt", "second member"}, {"c.txt", AnsiString(3000, 'c')}};

TEST(ZAArchiverEventsTest, EveryMemberStoredIsToldOnceWithBackslashes) {
  TScratchDir dir;
  const AnsiString name = dir / "a.zip";
  WriteFile(name, MakeArchive(THREE));
  TZipArchiver zip(nullptr);
  zip.FileName = name;
  zip.OpenArchive();
  std::vector<AnsiString> stored;
  zip.OnStoreFile = [&](TObject*, const AnsiString& member) {
    // Told once the member is written: its entry has its CRC by now.
    const int32_t index =
        zip.DirManager()->Items.Find(StringReplace(member, "\\", "/", rfReplaceAll));
    ASSERT_GE(index, 0) << member;
    EXPECT_NE(zip.DirManager()->Items.Items(index).Header.Crc32, ZA_CRC_START) << member;
    stored.push_back(member);
  };
  zip.BeginUpdate();
  zip.AddFromString("sub/new.txt", "new", ZA_TEST_DATE);
  zip.AddFromString("b.txt", "second, replaced", ZA_TEST_DATE);
  zip.AddFromString("x\\y\\z.txt", "deep", ZA_TEST_DATE);
  zip.EndUpdate();
  // Copied members (c.txt moved along, a.txt kept) are not stored anew.
  EXPECT_EQ(stored, (std::vector<AnsiString>{"b.txt", "sub\\new.txt", "x\\y\\z.txt"}));

  stored.clear();
  zip.AddFromString("last.txt", "", ZA_TEST_DATE);
  EXPECT_EQ(stored, std::vector<AnsiString>{"last.txt"});
  zip.CloseArchive();
}

// A folder of sources: a.txt, sub/b.txt, sub/deep/c.txt, as paths with the
// system's separator.
class ZAMoveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::error_code ignored;
    std::filesystem::remove_all(std::filesystem::path(Src("")), ignored);
    DeleteFile(Dir / "a.zip");
    ForceDirectories(Src("sub/deep"));
    WriteFile(Src("a.txt"), "alpha");
    WriteFile(Src("sub/b.txt"), "beta");
    WriteFile(Src("sub/deep/c.txt"), "gamma");
  }
  AnsiString Src(const AnsiString& relative) const {
    return Dir / ("src/" + StringReplace(relative, "/", AnsiString(1, PathDelim), rfReplaceAll));
  }
  // What is left under src, relative, "/" between folders, folders with a
  // trailing "/".
  std::vector<AnsiString> Left() const {
    std::vector<AnsiString> left;
    const std::filesystem::path root(Src(""));
    for (const auto& e : std::filesystem::recursive_directory_iterator(root))
      left.push_back(e.path().lexically_relative(root).generic_string() +
                     (e.is_directory() ? "/" : ""));
    std::sort(left.begin(), left.end());
    return left;
  }
  // Moves the sources into a new archive in one bracket, the way an
  // operation that moves files sets up their entries: folders before what
  // they hold.
  void Move(TZipArchiver& zip) {
    zip.FileName = Dir / "a.zip";
    zip.OpenArchive();
    zip.BeginUpdate();
    for (const AnsiString member : {"a.txt", "sub/", "sub/b.txt", "sub/deep/", "sub/deep/c.txt"}) {
      const bool folder = member.back() == '/';
      const int32_t index = zip.DirManager()->AddOrReplaceFile(
          member, Src(member), folder ? ZA_ATTR_DIRECTORY : ZA_ATTR_ARCHIVE, folder);
      zip.DirManager()->Items.Items(index).Operation = ZA_OP_MOVE;
    }
    zip.EndUpdate();
  }
  // Names and CRCs of the archive written.
  std::vector<AnsiString> Members() const {
    TZipArchiver zip(nullptr);
    zip.FileName = Dir / "a.zip";
    zip.OpenArchive();
    std::vector<AnsiString> members;
    const TZADirArray& items = zip.DirManager()->Items;
    for (int32_t i = 0; i < items.Count(); ++i)
      members.push_back(items.Items(i).FileName + " " + IntToHex(items.Items(i).Header.Crc32, 8));
    return members;
  }
  const std::vector<AnsiString> AllMoved = {
      "a.txt " + IntToHex(ZACrc32("alpha", 5), 8), "sub/ 00000000",
      "sub/b.txt " + IntToHex(ZACrc32("beta", 4), 8), "sub/deep/ 00000000",
      "sub/deep/c.txt " + IntToHex(ZACrc32("gamma", 5), 8)};
  TScratchDir Dir;
};

TEST_F(ZAMoveTest, MovedSourcesGoOnceTheArchiveHoldsThemAndOnlyOnce) {
  TScriptedPrompts prompts;
  TZipArchiver zip(nullptr);
  std::vector<AnsiString> stored;
  zip.OnStoreFile = [&](TObject*, const AnsiString& name) {
    stored.push_back(name);
    // Nothing goes before the archive is complete.
    EXPECT_TRUE(FileExists(Src("a.txt")));
  };
  Move(zip);
  EXPECT_EQ(Left(), std::vector<AnsiString>{});
  EXPECT_EQ(stored, (std::vector<AnsiString>{"a.txt", "sub\\", "sub\\b.txt", "sub\\deep\\",
                                             "sub\\deep\\c.txt"}));
  // A later update leaves what an earlier one moved alone.
  zip.OnStoreFile = nullptr;
  zip.AddFromString("later.txt", "later", ZA_TEST_DATE);
  zip.CloseArchive();
  EXPECT_TRUE(prompts.Asked.empty());
  std::vector<AnsiString> expected = AllMoved;
  expected.push_back("later.txt " + IntToHex(ZACrc32("later", 5), 8));
  EXPECT_EQ(Members(), expected);
  EXPECT_TRUE(DirectoryExists(Dir / "src"));
}

TEST_F(ZAMoveTest, AFailedDeleteIsReportedAndTheHandlersAnswerDecidesWhatFollows) {
  struct Case {
    const char* what;
    bool goneEarly;  // a.txt's source vanishes once it is stored
    bool strayFile;  // sub/deep holds a file not moved
    TZAFailureAction answer;
    bool strayClearedOnFailure;  // the handler takes the stray file away
    std::vector<AnsiString> reported;
    std::vector<AnsiString> left;
  } cases[] = {
      {"file gone, go on", true, false, fxIgnore, false, {"27 a.txt"}, {}},
      {"file gone, stop",
       true,
       false,
       fxAbort,
       false,
       {"27 a.txt"},
       {"sub/", "sub/b.txt", "sub/deep/", "sub/deep/c.txt"}},
      {"folder not empty, go on: its parent stays too",
       false,
       true,
       fxIgnore,
       false,
       {"60 sub/deep", "60 sub"},
       {"sub/", "sub/deep/", "sub/deep/stray.txt"}},
      {"folder not empty, cleared and tried again",
       false,
       true,
       fxRetry,
       true,
       {"60 sub/deep"},
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SetUp();
    if (c.strayFile) WriteFile(Src("sub/deep/stray.txt"), "not moved");
    TScriptedPrompts prompts;
    TZipArchiver zip(nullptr);
    if (c.goneEarly)
      zip.OnStoreFile = [&](TObject*, const AnsiString& name) {
        if (name == "a.txt") DeleteFile(Src("a.txt"));
      };
    std::vector<AnsiString> reported;
    zip.OnProcessFileFailure = [&](TObject*, const AnsiString& name, uint8_t op,
                                   const EZAException& error, TZAFailureAction& action) {
      EXPECT_EQ(op, ZA_OP_MOVE);
      EXPECT_NE(error.Message().find(name), AnsiString::npos) << error.Message();
      const AnsiString relative =
          StringReplace(name.substr(Src("").size()), AnsiString(1, PathDelim), "/", rfReplaceAll);
      reported.push_back(IntToStr(error.NativeError) + " " + relative);
      if (c.strayClearedOnFailure) DeleteFile(Src("sub/deep/stray.txt"));
      action = c.answer;
    };
    Move(zip);
    zip.CloseArchive();
    EXPECT_EQ(reported, c.reported);
    EXPECT_EQ(Left(), c.left);
    // The archive is complete whatever became of the sources.
    EXPECT_EQ(Members(), AllMoved);
    EXPECT_TRUE(prompts.Asked.empty());
  }
}

TEST_F(ZAMoveTest, WithoutAHandlerAFailedDeleteIsShownAndTheRestGo) {
  TScriptedPrompts prompts;
  TZipArchiver zip(nullptr);
  zip.OnStoreFile = [&](TObject*, const AnsiString& name) {
    if (name == "a.txt") DeleteFile(Src("a.txt"));
  };
  Move(zip);
  zip.CloseArchive();
  EXPECT_EQ(prompts.Asked,
            std::vector<AnsiString>{"message: Cannot delete file \"" + Src("a.txt") +
                                    "\" - Native error: 00027. File processing error, possibly "
                                    "disk is full"});
  EXPECT_EQ(Left(), std::vector<AnsiString>{});
}

TEST_F(ZAMoveTest, SourceFilesThatCannotBeReadStopTheUpdateAndStay) {
  struct Case {
    const char* what;
    AnsiString source;
    int32_t error;
  } cases[] = {
      {"missing", Src("none.txt"), 33},
      {"name at the path limit", Dir / AnsiString(260 - Dir.Path.size(), 'n'), 61},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TZipArchiver zip(nullptr);
    zip.FileName = Dir / "a.zip";
    zip.OpenArchive();
    zip.BeginUpdate();
    zip.DirManager()
        ->Items
        .Items(zip.DirManager()->AddOrReplaceFile("a.txt", Src("a.txt"), ZA_ATTR_ARCHIVE, false))
        .Operation = ZA_OP_MOVE;
    zip.DirManager()->AddOrReplaceFile("b.txt", c.source, ZA_ATTR_ARCHIVE, false);
    ExpectZAError(c.error, [&] { zip.EndUpdate(); });
    zip.CloseArchive();
    EXPECT_TRUE(FileExists(Src("a.txt")));
    EXPECT_EQ(Members(), std::vector<AnsiString>{});
  }
}

}  // namespace
