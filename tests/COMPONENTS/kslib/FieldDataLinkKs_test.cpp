// The field data link: its own value when unbound, binding to one or
// several fields, editing, and the edit image's notices.
#include "COMPONENTS/kslib/FieldDataLinkKs.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "COMPONENTS/kslib/DBEditKs.h"
#include "EditorForm.h"
#include "tests/platform/db/ArrayDataSet.h"

namespace {

struct TLinkTest : ::testing::Test {
  TArrayDataSet Data{nullptr};
  TDataSource Source{nullptr};
  TFieldDataLinkKs Link;
  std::vector<std::string> Events;
  void SetUp() override {
    Data.FieldDefs()->Add("Id", ftInteger);
    Data.FieldDefs()->Add("Name", ftString, 10);
    Data.Open();
    AppendValues(&Data, {1, "one"});
    AppendValues(&Data, {2, "two"});
    Data.First();
    Source.SetDataSet(&Data);
    Link.OnDataChange = [this](TObject*) { Events.push_back("data"); };
    Link.OnEditingChange = [this](TObject*) {
      Events.push_back(Link.Editing() ? "editing" : "browsing");
    };
    Link.OnUpdateData = [this](TObject*) { Events.push_back("update"); };
    Link.OnActiveChange = [this](TObject*) { Events.push_back("active"); };
  }
  void TearDown() override { Link.SetDataSource(nullptr); }
};

TEST_F(TLinkTest, UnboundItIsActiveAndKeepsItsOwnValue) {
  EXPECT_TRUE(Link.DataIndependent());
  EXPECT_TRUE(Link.Active());
  EXPECT_TRUE(Link.CanModify());
  EXPECT_TRUE(Link.DataIndependentValue().IsNull());
  Link.SetText("abc");
  EXPECT_EQ(Link.DataIndependentValue().AsString(), "abc");
  Link.SetValue(Variant(5));
  EXPECT_EQ(Link.DataIndependentValue().AsInteger(), 5);
  EXPECT_EQ(Events, (std::vector<std::string>{"data", "data"}));
  Events.clear();
  EXPECT_TRUE(Link.Edit());
  EXPECT_TRUE(Link.Edit());
  EXPECT_EQ(Events, std::vector<std::string>{"editing"}) << "told once";
  Link.Modified();
  Link.UpdateRecord();
  EXPECT_FALSE(Link.Editing());
  EXPECT_EQ(Events, (std::vector<std::string>{"editing", "update"}));
  Link.SetReadOnly(true);
  EXPECT_FALSE(Link.Edit()) << "a read-only link does not edit";
}

TEST_F(TLinkTest, ADataSourceMakesItBoundAndResetsItsValue) {
  Link.SetValue(Variant(5));
  Link.SetDataSource(&Source);
  EXPECT_FALSE(Link.DataIndependent());
  EXPECT_TRUE(Link.DataIndependentValue().IsNull());
  EXPECT_FALSE(Link.Active()) << "no field yet";
  Link.SetFieldName("Name");
  EXPECT_TRUE(Link.Active());
  EXPECT_EQ(Link.Field(), Data.FieldByName("Name"));
  EXPECT_EQ(Link.FieldsCount(), 1);
  EXPECT_EQ(Link.FieldsField(1), nullptr);
  Link.SetValue(Variant("new"));
  EXPECT_EQ(Data.FieldByName("Name")->AsString(), "one") << "a browsing dataset changes nothing";
  Events.clear();
  EXPECT_TRUE(Link.Edit());
  EXPECT_EQ(Data.State(), dsEdit);
  EXPECT_EQ(Events.front(), "editing");
  Link.SetText("new");
  EXPECT_EQ(Data.FieldByName("Name")->AsString(), "new");
  Data.Cancel();
  Link.SetDataSource(nullptr);
  Link.SetFieldName("");
  EXPECT_TRUE(Link.DataIndependent());
}

TEST_F(TLinkTest, SeveralFieldsTakeAnArrayOrNullButNotOneValueForAll) {
  Link.SetDataSource(&Source);
  Link.SetMultiFields(true);
  Link.SetFieldName("Id;Name");
  ASSERT_EQ(Link.FieldsCount(), 2);
  Data.Edit();
  Link.SetValue(VarArrayOf({7, "seven"}));
  EXPECT_EQ(Data.FieldByName("Id")->AsInteger(), 7);
  EXPECT_EQ(Data.FieldByName("Name")->AsString(), "seven");
  EXPECT_THROW(Link.SetValue(Variant(8)), EDatabaseError);
  EXPECT_EQ(Data.FieldByName("Id")->AsInteger(), 7) << "nothing was cleared";
  EXPECT_EQ(Data.FieldByName("Name")->AsString(), "seven");
  Link.SetValue(Variant::Null());
  EXPECT_TRUE(Data.FieldByName("Id")->IsNull());
  EXPECT_TRUE(Data.FieldByName("Name")->IsNull());
  Data.Cancel();
}

TEST_F(TLinkTest, AnUnknownFieldIsNamedWithTheControl) {
  TComponent Control(nullptr);
  Control.SetName("edtTown");
  Link.SetControl(&Control);
  Link.SetDataSource(&Source);
  Link.SetMultiFields(true);
  try {
    Link.SetFieldName("Id;Town");
    FAIL();
  } catch (EDatabaseError& E) {
    EXPECT_NE(E.Message().find("Поле 'Town' не найдено"), AnsiString::npos) << E.Message();
    EXPECT_NE(E.Message().find("edtTown"), AnsiString::npos) << E.Message();
  }
  Link.SetControl(nullptr);
  Link.SetFieldName("");
}

TEST(FieldDataLinkKs, AFieldAsksItsEditForTheFocus) {
  TEditorForm<TDBEditKs> F;
  TArrayDataSet Data(nullptr);
  TDataSource Source(nullptr);
  Data.FieldDefs()->Add("Name", ftString, 10);
  Data.Open();
  AppendValues(&Data, {"x"});
  Source.SetDataSet(&Data);
  F.Edit->SetDataSource(&Source);
  F.Edit->SetDataField("Name");
  F.Show(F.Other);
  Data.FieldByName("Name")->FocusControl();
  EXPECT_TRUE(PumpUntilFocused(F.Edit->Handle()));
  delete F.Form;
  F.Form = nullptr;
}

TEST(VarToTextKs, GivesTextOrNothing) {
  EXPECT_EQ(VarToTextKs(Variant::Null()), "");
  EXPECT_EQ(VarToTextKs(Variant()), "");
  EXPECT_EQ(VarToTextKs(VarArrayOf({1, 2})), "");
  EXPECT_EQ(VarToTextKs(Variant(12)), "12");
  EXPECT_EQ(VarToTextKs(Variant("Тверь")), "Тверь");
}

TEST(EditImageKs, ChangesReachTheControlAndAssignCopies) {
  struct TOwner : TWinControl {
    using TWinControl::TWinControl;
    int Notices = 0;
    void WndProc(TMessage& Message) override {
      if (Message.Msg == CM_EDITIMAGECHANGEDKS) ++Notices;
      TWinControl::WndProc(Message);
    }
  } Owner(nullptr);
  TImageList Images(nullptr, 20, 18);
  TEditImageKs Image(&Owner);
  EXPECT_EQ(Image.ImageIndex(), -1);
  EXPECT_TRUE(Image.UseImageHeight());
  EXPECT_FALSE(Image.Visible());
  Image.SetImages(&Images);
  Image.SetVisible(true);
  Image.SetWidth(0);
  Image.SetWidth(24);
  Image.SetUseImageHeight(false);
  EXPECT_EQ(Owner.Notices, 4) << "each change once, an unchanged width not";
  Image.SetImageIndex(3);
  EXPECT_EQ(Owner.Notices, 4) << "the index only repaints";
  TEditImageKs Copy(nullptr);
  Copy.Assign(&Image);
  EXPECT_EQ(Copy.Images(), &Images);
  EXPECT_EQ(Copy.ImageIndex(), 3);
  EXPECT_TRUE(Copy.Visible());
  EXPECT_EQ(Copy.Width(), 24);
}

TEST(EditImageKs, TheImageAreaIsTheListsWidthUnlessAWidthIsSet) {
  TEditorForm<TDBEditKs> F;
  TImageList Images(F.Form, 20, 40);
  F.Show(F.Other);
  F.Edit->SetImages(&Images);
  EXPECT_TRUE(F.Edit->EditImage()->Visible());
  EXPECT_EQ(F.Edit->CalcEditRect().left, 24) << "the image list's width plus 4";
  F.Edit->EditImage()->SetWidth(30);
  EXPECT_EQ(F.Edit->CalcEditRect().left, 34);
  EXPECT_EQ(F.Edit->Height(), 40 + 8 * GetSystemMetrics(SM_CYBORDER))
      << "grows to the image height";
  F.Edit->EditImage()->SetVisible(false);
  EXPECT_EQ(F.Edit->CalcEditRect().left, 0);
}

}  // namespace
