// Convenience header: the whole expression language of qvtlib::expr.
#ifndef ZU_ZOZOV_EXPR_EXPR_H
#define ZU_ZOZOV_EXPR_EXPR_H

#include "expr/baseExpr.h"
#include "expr/data.h"
#include "expr/exceptions.h"
#include "expr/function.h"
#include "expr/keys.h"
#include "expr/node.h"
#include "expr/parser.h"
#include "expr/scanner.h"
#include "expr/token.h"
#include "expr/value.h"

#endif  // ZU_ZOZOV_EXPR_EXPR_H
