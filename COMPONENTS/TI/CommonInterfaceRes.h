// The data module TI: the action images, the action list with every
// service, application, system and edit action of the framework, and the
// standard edit popup menu of text controls.
#pragma once

#include <vector>

#include "CommonInterface.h"
#include "forms/StdCtrls.h"

class TI : public TComponent {
 public:
  explicit TI(TComponent* AOwner);

  TImageList* ImageList;
  TActionList* ActionList;
  // In declaration order; each is also found by its component name.
  std::vector<TAction*> Actions;
  TPopupMenu* SysEditPopupMenu;

  TAction* Action(const AnsiString& Name) const;
  // The edit menu's copy and paste: the control that opened the menu.
  void mCopyPopupMenuClick(TObject* Sender);
  void mPastePopupMenuClick(TObject* Sender);
};

// The clipboard's text with the Russian locale; an empty text is not put.
void PutClipboardText(const AnsiString& Text);
AnsiString ClipboardText();
// The clipboard's text in place of the edit's selection.
void PasteClipboardText(TCustomEdit* Edit);
