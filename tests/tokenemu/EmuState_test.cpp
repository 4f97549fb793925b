// The token's state file: its exact text (tests of Morvel read it too) and
// the round trip of every kind of attribute.

#include <gtest/gtest.h>

#include "tokenemu/EmuState.h"

TEST(EmuState, FileTextIsFieldByFieldAndReadsBack) {
  TEmuToken token;
  token.Pin = "1234";
  TEmuObject cert;
  cert.SetNumber(CKA_CLASS, CKO_CERTIFICATE);
  cert.SetFlag(CKA_TOKEN, true);
  cert.SetFlag(CKA_PRIVATE, false);
  cert.Attributes[CKA_ID] = {'7', '7'};
  cert.Attributes[CKA_LABEL] = {};
  EXPECT_EQ(token.AddObject(cert), 1u);
  TEmuObject key;
  key.SetNumber(CKA_KEY_GEN_MECHANISM, 0xFFFFFFFFUL);
  key.Attributes[kEmuAttrPairedPublic] = {0x00, 0xAB};
  EXPECT_EQ(token.AddObject(key), 2u);

  const std::string text = EmuTokenText(token);
  EXPECT_EQ(text,
            "tvemu-token 1\n"
            "pin 31323334\n"
            "next 3\n"
            "object 1\n"
            "0x0 u 1\n"
            "0x1 b 1\n"
            "0x2 b 0\n"
            "0x3 x -\n"
            "0x102 x 3737\n"
            "object 2\n"
            "0x166 u 4294967295\n"
            "0x80000001 x 00AB\n"
            "end\n");

  TEmuToken back;
  ASSERT_TRUE(ParseEmuToken(text, back));
  EXPECT_EQ(back.Pin, "1234");
  EXPECT_EQ(back.NextHandle, 3u);
  ASSERT_EQ(back.Objects.size(), 2u);
  for (size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(back.Objects[i].Handle, token.Objects[i].Handle);
    EXPECT_EQ(back.Objects[i].Attributes, token.Objects[i].Attributes);
  }
  EXPECT_EQ(EmuTokenText(back), text);
}
