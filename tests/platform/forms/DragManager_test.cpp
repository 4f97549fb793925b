// Dragging a label onto edits with the mouse: the questions the targets
// hear, the drop, the end told to the source, and the ways a drag ends
// without a drop.
#include "forms/DragManager.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FormsTestKit.h"
#include "forms/Forms.h"
#include "forms/StdCtrls.h"

namespace {

struct TDragForm {
  TForm* Form = new TForm(Application);
  TLabel* Source = new TLabel(Form);
  TEdit* Taker = new TEdit(Form);
  TEdit* Refuser = new TEdit(Form);
  std::vector<std::string> Log;

  TDragForm() {
    Form->SetBounds(100, 100, 400, 200);
    Source->SetParent(Form);
    Source->SetBounds(10, 10, 80, 20);
    Source->SetCaption("drag me");
    Source->SetDragMode(dmAutomatic);
    Taker->SetParent(Form);
    Taker->SetBounds(150, 10, 100, 21);
    Refuser->SetParent(Form);
    Refuser->SetBounds(150, 80, 100, 21);
    Taker->OnDragOver = [this](TObject*, TObject* From, int X, int Y, TDragState State,
                               bool& Accept) {
      static const char* const States[] = {"enter", "leave", "move"};
      Log.push_back(std::string("over ") + States[State] + " " + std::to_string(X) + "," +
                    std::to_string(Y));
      Accept = From == Source;
    };
    Taker->OnDragDrop = [this](TObject*, TObject* From, int X, int Y) {
      Log.push_back("drop " + std::to_string(X) + "," + std::to_string(Y) +
                    (From == Source ? " from source" : ""));
    };
    Source->OnEndDrag = [this](TObject*, TObject* Target, int, int) {
      Log.push_back(Target == Taker ? "end on taker" : Target ? "end elsewhere" : "end cancelled");
    };
    Source->OnClick = [this](TObject*) { Log.push_back("click"); };
    Form->Show();
    PumpFor(30);
  }
  ~TDragForm() { delete Form; }
  TDragForm(const TDragForm&) = delete;
  TDragForm& operator=(const TDragForm&) = delete;

  // Mouse messages in the form's client coordinates; the drag's own loop
  // takes them from the queue.
  // Targets hear points in their client area (inside the edit's 2-pixel edge).
  void Post(UINT Msg, int X, int Y) {
    PostMessageA(Form->Handle(), Msg, Msg == WM_LBUTTONUP ? 0 : MK_LBUTTON, MAKELPARAM(X, Y));
  }
};

TEST(DragManager, DropsTheSourceOnATargetThatAcceptsIt) {
  TDragForm F;
  F.Post(WM_LBUTTONDOWN, 20, 15);
  F.Post(WM_MOUSEMOVE, 21, 15);   // within the drag distance: nothing yet
  F.Post(WM_MOUSEMOVE, 160, 85);  // over the edit that takes no drops
  F.Post(WM_MOUSEMOVE, 160, 15);
  F.Post(WM_MOUSEMOVE, 170, 20);
  F.Post(WM_LBUTTONUP, 170, 20);
  PumpFor(50);
  EXPECT_EQ(F.Log, (std::vector<std::string>{"over enter 8,3", "over move 18,8",
                                             "over move 18,8", "drop 18,8 from source",
                                             "end on taker"}));
  EXPECT_FALSE(F.Source->Dragging());
  EXPECT_EQ(GetCapture(), nullptr);
}

TEST(DragManager, EndsWithoutADropWhenRefusedCancelledOrNeverStarted) {
  TDragForm F;
  F.Post(WM_LBUTTONDOWN, 20, 15);
  F.Post(WM_MOUSEMOVE, 160, 85);
  F.Post(WM_LBUTTONUP, 160, 85);
  PumpFor(50);
  EXPECT_EQ(F.Log, std::vector<std::string>{"end cancelled"}) << "dropped where nobody takes it";

  F.Log.clear();
  F.Post(WM_LBUTTONDOWN, 20, 15);
  F.Post(WM_MOUSEMOVE, 160, 15);
  PostMessageA(F.Form->Handle(), WM_KEYDOWN, VK_ESCAPE, 0);
  F.Post(WM_LBUTTONUP, 160, 15);
  PumpFor(50);
  EXPECT_EQ(F.Log, (std::vector<std::string>{"over enter 8,3", "over leave 8,3",
                                             "end cancelled"}));

  F.Log.clear();
  F.Post(WM_LBUTTONDOWN, 20, 15);
  F.Post(WM_MOUSEMOVE, 21, 16);
  F.Post(WM_LBUTTONUP, 21, 16);
  PumpFor(50);
  EXPECT_EQ(F.Log, std::vector<std::string>{"end cancelled"}) << "no click either";
  EXPECT_EQ(GetCapture(), nullptr);

  F.Source->SetDragMode(dmManual);
  F.Log.clear();
  F.Post(WM_LBUTTONDOWN, 20, 15);
  F.Post(WM_LBUTTONUP, 20, 15);
  PumpFor(50);
  EXPECT_EQ(F.Log, std::vector<std::string>{"click"}) << "a manual source is clicked as before";
}

}  // namespace
