#include "COMPONENTS/kslib/DBGridKsTitleTree.h"

namespace {

[[noreturn]] void NotInTree() { throw Exception("Node not in Tree"); }

// The text up to the first "|", and where the rest starts (0 when there is
// no second part).
AnsiString FirstWord(const AnsiString& Text, size_t* Rest = nullptr) {
  size_t Bar = Text.find('|');
  if (Rest) *Rest = Bar == AnsiString::npos ? 0 : Bar + 1;
  return Bar == AnsiString::npos ? Text : Text.substr(0, Bar);
}

// The text from the position on; empty past its end.
AnsiString TextFrom(const AnsiString& Text, size_t Pos) {
  return Pos < Text.size() ? Text.substr(Pos) : AnsiString();
}

}  // namespace

THeadTreeNode::THeadTreeNode() : Height(10), Text("Root") {}

THeadTreeNode::THeadTreeNode(const AnsiString& AText, int AWidth, int AHeight)
    : Height(AHeight), Text(AText), Width(AWidth) {}

THeadTreeNode::~THeadTreeNode() { FreeAllChild(); }

std::vector<THeadTreeNode*> THeadTreeNode::Children() const {
  std::vector<THeadTreeNode*> Result;
  if (!Child) return Result;
  THeadTreeNode* X = Child;
  do {
    Result.push_back(X);
    X = X->Next;
  } while (X != Child);
  return Result;
}

void THeadTreeNode::ForEach(const std::function<void(THeadTreeNode*)>& Proc) {
  for (THeadTreeNode* C : Children()) {
    Proc(C);
    C->ForEach(Proc);
  }
}

bool THeadTreeNode::Find(THeadTreeNode* Node) {
  if (this == Node) return true;
  for (THeadTreeNode* C : Children())
    if (C->Find(Node)) return true;
  return false;
}

int THeadTreeNode::GetLevel() const {
  int Level = 0;
  for (const THeadTreeNode* X = Host; X; X = X->Host) ++Level;
  return Level;
}

THeadTreeNode* THeadTreeNode::AddChild(THeadTreeNode* Node, const AnsiString& AText, int AWidth,
                                       int AHeight) {
  if (!Find(Node)) NotInTree();
  auto* New = new THeadTreeNode(AText, AWidth, AHeight);
  New->Host = Node;
  if (!Node->Child) {
    Node->Child = New;
    return New;
  }
  THeadTreeNode* Last = Node->Child;
  while (Last->Next != Node->Child) Last = Last->Next;
  Last->Next = New;
  New->Next = Node->Child;
  return New;
}

THeadTreeNode* THeadTreeNode::Add(THeadTreeNode* After, const AnsiString& AText, int AWidth,
                                  int AHeight) {
  if (!Find(After)) NotInTree();
  auto* New = new THeadTreeNode(AText, AWidth, AHeight);
  New->Host = After->Host;
  New->Next = After->Next;
  After->Next = New;
  return New;
}

void THeadTreeNode::FreeAllChild() {
  std::vector<THeadTreeNode*> List = Children();
  Child = nullptr;
  for (THeadTreeNode* C : List) delete C;
}

void THeadTreeNode::Union(THeadTreeNode* From, THeadTreeNode* To, int AHeight,
                          const AnsiString& AText) {
  if (!Find(From) || !From->Host) NotInTree();
  THeadTreeNode* HostNode = From->Host;
  // To must follow From before the ring wraps to the first child.
  std::vector<THeadTreeNode*> Group;
  for (THeadTreeNode* X = From;; X = X->Next) {
    Group.push_back(X);
    if (X == To) break;
    if (X->Next == HostNode->Child) throw Exception("ATo not in level");
  }
  THeadTreeNode* Prev = From;
  while (Prev->Next != From) Prev = Prev->Next;
  auto* New = new THeadTreeNode(AText, 0, AHeight);
  New->Host = HostNode;
  New->WIndent = To->WIndent;
  if (Prev == To) {
    New->Next = New;  // the group was the whole ring
  } else {
    New->Next = To->Next;
    Prev->Next = New;
  }
  New->Child = From;
  if (HostNode->Child == From) HostNode->Child = New;
  int Sum = 0;
  for (THeadTreeNode* X : Group) {
    X->Host = New;
    X->Height -= AHeight;
    Sum += X->Width + New->WIndent;
  }
  New->Width = New->WIndent < 1 ? Sum : Sum - New->WIndent;
  To->Next = From;
}

void GroupTitleCaptions(THeadTreeNode* Root, std::vector<THeadTreeNode*>& Leaves) {
  int Count = static_cast<int>(Leaves.size());
  bool Changed = true;
  while (Changed) {
    Changed = false;
    for (int I = 0; I < Count && !Changed; ++I) {
      size_t Rest;
      AnsiString W1 = FirstWord(Leaves[I]->Text, &Rest);
      if (!Rest) continue;
      int K = I;
      while (K < Count - 1 && FirstWord(Leaves[K + 1]->Text) == W1) {
        Leaves[K]->Text = TextFrom(Leaves[K]->Text, Rest);
        ++K;
      }
      Leaves[K]->Text = TextFrom(Leaves[K]->Text, Rest);
      Changed = true;
      // Leaves under different group cells cannot share one; they only
      // lose the common part.
      if (Leaves[I]->Host == Leaves[K]->Host) Root->Union(Leaves[I], Leaves[K], 20, W1);
    }
  }
}
