// The filter-expression parser: a filter text and its options become a tree
// of nodes that a dataset evaluates record by record.
//
// Syntax (keywords in any case):
//   expr    := term { OR term }            term := factor { AND factor }
//   factor  := NOT factor | compare
//   compare := sum [ (= | <> | != | < | > | <= | >=) sum
//                  | IS [NOT] NULL | [NOT] LIKE sum | [NOT] IN ( sum {, sum} ) ]
//   sum     := product { (+ | -) product }  product := unary { (* | /) unary }
//   unary   := - unary | primary
//   primary := ( expr ) | 'text' ('' is a quote) | number | TRUE | FALSE
//            | name | [any name] | "any name" | function ( [expr {, expr}] )
// Names are the dataset's fields; "x = NULL" and "x <> NULL" test for null.
// Functions: UPPER, LOWER (unary operators), SUBSTRING, TRIM, TRIMLEFT,
// TRIMRIGHT, GETDATE, YEAR, MONTH, DAY, HOUR, MINUTE, SECOND, DATE, TIME.
//
// A text constant compared with a date, time, number or Boolean field is
// read as that field's type, dates in the user's short date format. With
// foCaseInsensitive, or a text constant ending in '*' (a partial compare,
// unless foNoPartialCompare), an =, <> or LIKE between texts becomes a
// compare node that carries both settings; the '*' is dropped.
#pragma once

#include <memory>
#include <vector>

#include "db/DBTypes.h"
#include "rtl/Variants.h"

class TDataSet;

// The numbers are the evaluator's.
enum TExprNodeClass : uint8_t {
  ncNull,
  ncUnary,
  ncBinary,
  ncCompare,
  ncField,
  ncConst,
  ncTuple,
  ncContinue,
  ncUdf,
  ncList,
  ncFunc,
  ncListElem
};

enum TExprOperator : uint8_t {
  eoNone = 0,
  eoIsBlank = 1,
  eoNotBlank = 2,
  eoEQ = 3,
  eoNE = 4,
  eoGT = 5,
  eoLT = 6,
  eoGE = 7,
  eoLE = 8,
  eoNot = 9,
  eoAnd = 10,
  eoOr = 11,
  eoField = 13,
  eoConst = 14,
  eoMinus = 15,
  eoAdd = 16,
  eoSub = 17,
  eoMul = 18,
  eoDiv = 19,
  eoMod = 20,
  eoRem = 21,
  eoLike = 30,
  eoIn = 31,
  eoUpper = 33,
  eoLower = 34,
  eoFunc = 35,
  eoListElem = 36
};

struct TExprNode {
  TExprNodeClass NodeClass = ncNull;
  TExprOperator Operator = eoNone;
  // Unary: one; binary and compare: left, right; function: its argument (a
  // list element node when there are several); list element: the values.
  std::vector<const TExprNode*> Operands;
  // Field: the field's name; function: its name in capitals.
  AnsiString Name;
  // Field: the field's type; constant: the type of Value (ftString,
  // ftInteger, ftFloat, ftBCD, ftBoolean, ftDate, ftTime or ftDateTime).
  TFieldType DataType = ftUnknown;
  Variant Value;
  // Compare: 1 to ignore case; the number of characters compared (0: all).
  uint16_t CaseInsensitive = 0;
  uint16_t PartialLength = 0;
};

// Parses at construction; EDatabaseError with the position on a syntax
// error, the dataset's field-not-found error for an unknown name.
class TExprParser {
 public:
  TExprParser(TDataSet* DataSet, const AnsiString& Text, TFilterOptions Options);
  ~TExprParser();
  TExprParser(const TExprParser&) = delete;
  TExprParser& operator=(const TExprParser&) = delete;

  const TExprNode* Root() const { return FRoot; }
  const AnsiString& Text() const { return FText; }
  TFilterOptions Options() const { return FOptions; }

 private:
  enum TTokenKind : uint8_t { tkEnd, tkName, tkString, tkNumber, tkSymbol };
  struct TToken {
    TTokenKind Kind = tkEnd;
    AnsiString Text;      // the name, the string's value, the number or the symbol
    bool Quoted = false;  // a name in [ ] or " "
    int Pos = 0;          // 1-based
  };

  void NextToken();
  bool IsKeyword(const char* Word) const;
  bool IsSymbol(const char* Symbol) const;
  bool NextCharIs(char C) const;
  // Message: "... %s (position %d)" with the token found and its position.
  [[noreturn]] void TokenError(const char* Message) const;
  AnsiString TokenDescription() const;
  void Expect(const char* Symbol, const char* Message);

  TExprNode* ParseOr();
  TExprNode* ParseAnd();
  TExprNode* ParseNot();
  TExprNode* ParseCompare();
  TExprNode* ParseSum();
  TExprNode* ParseProduct();
  TExprNode* ParseUnary();
  TExprNode* ParsePrimary();
  TExprNode* ParseFunction(const AnsiString& Name, int Pos);

  TExprNode* NewNode(TExprNodeClass NodeClass, TExprOperator Operator,
                     std::vector<const TExprNode*> Operands = {});
  TExprNode* NewConst(TFieldType DataType, const Variant& Value);
  TExprNode* Comparison(TExprOperator Operator, TExprNode* Left, TExprNode* Right);
  void Coerce(TExprNode* Constant, const TExprNode* Other);

  TDataSet* FDataSet;
  AnsiString FText;
  TFilterOptions FOptions;
  size_t FPos = 0;  // 0-based, the next character to read
  TToken FToken;
  std::vector<std::unique_ptr<TExprNode>> FNodes;
  TExprNode* FRoot = nullptr;
};
