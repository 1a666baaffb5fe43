// Umbrella header: the whole public API of zu_zozov.
#ifndef ZU_ZOZOV_ZU_ZOZOV_H
#define ZU_ZOZOV_ZU_ZOZOV_H

#include "common/errorInfo.h"
#include "common/export.h"
#include "common/grid.h"
#include "common/noCopy.h"
#include "common/tree.h"
#include "expr/expr.h"
#include "log/logout.h"
#include "xml/domXMLCore.h"
#include "xml/xmlString.h"
#include "zu_zozov/acctRule.h"
#include "zu_zozov/group.h"
#include "zu_zozov/groupInstrument.h"
#include "zu_zozov/grpData.h"
#include "zu_zozov/grpExpr.h"
#include "zu_zozov/grpRule.h"
#include "zu_zozov/htGroupData.h"
#include "zu_zozov/propDic.h"
#include "zu_zozov/version.h"
#include "zu_zozov/xClass.h"
#include "zu_zozov/xDefTree.h"
#include "zu_zozov/xProp.h"
#include "zu_zozov/xTree.h"

#endif
