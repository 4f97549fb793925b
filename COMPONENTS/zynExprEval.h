// Evaluates a parsed filter expression for the record a table has under
// test. Fields are looked up once, when the evaluator is made.
#pragma once

#include <map>

#include "db/FilterExpr.h"
#include "zynMemTable.h"

class TzynExprEvaluator {
 public:
  TzynExprEvaluator(TDataSet* DataSet, const AnsiString& Text, TFilterOptions Options);
  TzynExprEvaluator(const TzynExprEvaluator&) = delete;
  TzynExprEvaluator& operator=(const TzynExprEvaluator&) = delete;

  // The expression for the fields as they read now; a null result is false.
  bool Accepts();
  Variant Evaluate(const TExprNode* Node);

 private:
  Variant Function(const TExprNode* Node);

  TExprParser FParser;
  std::map<const TExprNode*, TField*> FFields;
};
