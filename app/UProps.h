#pragma once
// The process-wide property collection, created empty at start-up.

#include "rtl/Classes.h"

class TProperty : public TCollectionItem {
 public:
  using TCollectionItem::TCollectionItem;
};

class TProperties : public TCollection {
 public:
  TProperties();
};

extern TProperties* Properties;
// Start-up and shutdown steps of the unit.
void InitializeProps();
void FinalizeProps();
