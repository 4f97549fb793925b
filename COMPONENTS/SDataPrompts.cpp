#include "SDataPrompts.h"

IDataPrompts& DefaultDataPrompts();

namespace {
IDataPrompts* Installed = nullptr;
}  // namespace

IDataPrompts& DataPrompts() { return Installed ? *Installed : DefaultDataPrompts(); }

IDataPrompts* SetDataPrompts(IDataPrompts* Value) {
  IDataPrompts* previous = Installed;
  Installed = Value;
  return previous;
}
