// The level rows above the data: one per level of the server dataset's
// record hierarchy below the top, each showing the record it was entered by.
#include <algorithm>

#include "COMPONENTS/kslib/DBGridKs.h"
#include "SDS.h"

namespace {

TSDS* LevelledDataSet(TDataLink* Link) { return Link ? dynamic_cast<TSDS*>(Link->DataSet()) : nullptr; }

}  // namespace

void TCustomDBGridKs::UpdateLevelRowCount() {
  // Any other dataset has no levels: rows left from a levelled one would
  // stay empty above its data.
  TSDS* Tree = LevelledDataSet(FDataLink.get());
  FLevelRowCount = Tree ? std::max(0, Tree->LevelCount() - 1) : 0;
}

int TCustomDBGridKs::LevelOfRow(int ARow) const {
  // The filter row, when shown, lies between the level rows and the data.
  int First = FTitleOffset - FLevelRowCount - (FSTFilter->Visible() ? 1 : 0);
  if (ARow < First || ARow >= First + FLevelRowCount) return 0;
  return ARow - First + 1;
}

AnsiString TCustomDBGridKs::LevelCellText(int Level, TColumnKs* Column) {
  TSDS* Tree = LevelledDataSet(FDataLink.get());
  if (!Tree || !Column || !Column->GetField() || Level < 1 || Level >= Tree->LevelCount())
    return "";
  return Column->ValueDisplayText(Tree->LevelInfos()->Items(Level)->FieldValue(Column->FieldName()));
}
