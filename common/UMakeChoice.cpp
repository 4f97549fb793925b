#include "common/UMakeChoice.h"

#include <cmath>

#include "forms/Prompts.h"

TfmMakeChoice::TfmMakeChoice(TComponent* AOwner) : TForm(AOwner) {
  SetCaption("Ваш выбор:");
  SetBorderIcons({biSystemMenu});
  SetKeyPreview(true);
  Font()->SetCharset(RUSSIAN_CHARSET);
  Font()->SetName("MS Sans Serif");
  Font()->SetSize(8);
  SetClientSize(466, 105);
  SetBounds((::Screen->Width() - Width()) / 2, (::Screen->Height() - Height()) / 2, Width(),
            Height());

  lAddText = new TLabel(this);
  lAddText->SetName("lAddText");
  lAddText->SetParent(this);
  lAddText->SetAlign(alTop);
  lAddText->Font()->SetStyle({fsBold});
  lAddText->SetWordWrap(true);
  lAddText->SetVisible(false);

  pnlBtn = new TPanel(this);
  pnlBtn->SetName("pnlBtn");
  pnlBtn->SetParent(this);
  pnlBtn->SetHeight(24);
  pnlBtn->SetAlign(alBottom);
  pnlBtn->SetBevelOuter(bvNone);

  btnOK = new TSpeedButton(this);
  btnOK->SetName("btnOK");
  btnOK->SetParent(pnlBtn);
  btnOK->SetBounds(308, 2, 77, 20);
  btnOK->SetAnchors({akTop, akRight});
  btnOK->SetCaption("Ok");

  btnCancel = new TSpeedButton(this);
  btnCancel->SetName("btnCancel");
  btnCancel->SetParent(pnlBtn);
  btnCancel->SetBounds(389, 2, 73, 20);
  btnCancel->SetAnchors({akTop, akRight});
  btnCancel->SetCaption("Отмена");

  ScrollBox = new TScrollBox(this);
  ScrollBox->SetName("ScrollBox");
  ScrollBox->SetParent(this);
  ScrollBox->SetAlign(alClient);
  ScrollBox->SetBorderStyle(bsNone);
  ScrollBox->HorzScrollBar()->SetVisible(false);
  ScrollBox->VertScrollBar()->SetVisible(false);

  rgChoiceList = new TSRadioGroup(this);
  rgChoiceList->SetName("rgChoiceList");
  rgChoiceList->SetParent(ScrollBox);
  rgChoiceList->SetAlign(alClient);

  OnKeyDown = [this](TObject* Sender, uint16_t& Key, TShiftState Shift) {
    FormKeyDown(Sender, Key, Shift);
  };
  rgChoiceList->OnDblClick = [this](TObject* Sender) { rgChoiceListDblClick(Sender); };
  btnOK->OnClick = [this](TObject* Sender) { rgChoiceListDblClick(Sender); };
  btnCancel->OnClick = [this](TObject* Sender) { btnCancelClick(Sender); };
  DoCreate();
}

void TfmMakeChoice::FormKeyDown(TObject*, uint16_t& Key, TShiftState) {
  if (Key == VK_RETURN) SetModalResult(mrOk);
  if (Key == VK_ESCAPE) SetModalResult(mrCancel);
}

// OK goes through the form's key handling, as Enter does.
void TfmMakeChoice::rgChoiceListDblClick(TObject*) {
  PostMessageA(Handle(), WM_KEYDOWN, VK_RETURN, 0);
}

void TfmMakeChoice::btnCancelClick(TObject*) { PostMessageA(Handle(), WM_KEYDOWN, VK_ESCAPE, 0); }

namespace {

int RunMakeChoice(TControl* Control, const std::vector<AnsiString>& Items,
                  const AnsiString& Caption, int DefaultIndex, const AnsiString& Prompt) {
  auto* Form = new TfmMakeChoice(Application);
  if (!Prompt.empty()) {
    Form->lAddText->SetCaption(Prompt);
    Form->lAddText->SetVisible(true);
  }
  if (!Caption.empty()) Form->SetCaption(Caption);
  for (const AnsiString& Item : Items) Form->rgChoiceList->Items()->Add(Item);
  Form->rgChoiceList->SetItemIndex(DefaultIndex - 1);
  if (Control && Control->Parent()) {
    POINT Corner = Control->Parent()->ClientToScreen(
        POINT{Control->Left(), Control->Top() + Control->Height() + 1});
    Form->SetBounds(Corner.x, Corner.y, Form->Width(), Form->Height());
  }
  TWindowDC DC;
  TSelectObject Selected(DC.Get(), Form->Font()->Handle());
  SIZE Text{};
  GetTextExtentPoint32A(DC.Get(), "W", 1, &Text);
  int Needed = static_cast<int>(Items.size()) * static_cast<int>(std::lround(1.2 * Text.cy));
  if (Form->lAddText->Visible()) Needed += Form->lAddText->Height() + 2;
  if (Needed > Form->ClientHeight()) Form->SetClientHeight(Needed);
  if (Form->Top() + Form->Height() + 16 > ::Screen->Height()) {
    Form->SetBounds(Form->Left(), 0, Form->Width(), ::Screen->Height() - 50);
    Form->rgChoiceList->SetAlign(alTop);
    Form->rgChoiceList->SetHeight(Needed);
    Form->ScrollBox->VertScrollBar()->SetVisible(true);
  }
  if (Form->Left() + Form->Width() > ::Screen->Width()) {
    Form->SetBounds(::Screen->Width() - Form->Width(), Form->Top(), Form->Width(), Form->Height());
    Form->ScrollBox->HorzScrollBar()->SetVisible(true);
  }
  int Result = 0;
  try {
    int Modal = Form->ShowModal();
    Result = Modal == mrCancel ? 0 : Form->rgChoiceList->ItemIndex() + 1;
  } catch (...) {
    delete Form;
    throw;
  }
  // The click that closed the dialog must not reach the window below.
  MSG Msg;
  while (PeekMessageA(&Msg, nullptr, WM_MOUSEMOVE, WM_MOUSEWHEEL, PM_REMOVE)) {
  }
  delete Form;
  return Result;
}

}  // namespace

int MakeChoice(TControl* Control, const std::vector<AnsiString>& Items, const AnsiString& Caption,
               int DefaultIndex, const AnsiString& Prompt) {
  TPrompt Question(TPromptKind::MakeChoice, Caption, Prompt);
  Question.Options = Items;
  Question.Default = DefaultIndex;
  return Prompts()
      .Ask(Question,
           [&] {
             return TPromptAnswer{RunMakeChoice(Control, Items, Caption, DefaultIndex, Prompt), {}};
           })
      .Result;
}
