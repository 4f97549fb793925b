// The dataset classes in one include: types, fields, definitions, the
// dataset and its data sources and links.
#pragma once

#include "db/DBConsts.h"
#include "db/DBTypes.h"
#include "db/DataSet.h"
#include "db/DataSource.h"
#include "db/FieldDefs.h"
#include "db/Fields.h"
