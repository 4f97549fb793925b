// The grid library's messages: string resources of the program
// (resources/KsLibConsts.rc), read with LoadString.
#pragma once

enum : unsigned {
  SFilterNotEmptyKs = 65088,
  SFilterAllKs = 65089,
  SFilterClearKs = 65090,
  SSortDescendingKs = 65091,
  SSortAscendingKs = 65092,
  SClearSelectedCellsKs = 65110,
  SInvalidTextFormatKs = 65111,
  SInvalidVCLDBIFFormatKs = 65112,
  SErrorDuringInsertValueKs = 65113,
  SIgnoreErrorKs = 65114,
  STabularInformationKs = 65115,
  SPageOfPagesKs = 65116,
  SPreviewKs = 65117,
  STextNotFoundKs = 65118,
  SFilterEmptyKs = 65119
};
