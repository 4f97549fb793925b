#include "app/UProps.h"

TProperties* Properties = nullptr;

TProperties::TProperties() : TCollection(CollectionItemClass<TProperty>()) {}

void InitializeProps() { Properties = new TProperties; }

void FinalizeProps() {
  delete Properties;
  Properties = nullptr;
}
