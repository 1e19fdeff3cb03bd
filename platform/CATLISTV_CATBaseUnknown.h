// CATListValCATBaseUnknown_var: a 1-based list of handles, each holding one reference.
#ifndef CATLISTV_CATBASEUNKNOWN_H
#define CATLISTV_CATBASEUNKNOWN_H

#include "CATBaseUnknown.h"
#include "standin_list.h"

class CATListValCATBaseUnknown_var : public StandinList<CATBaseUnknown_var> {};

#endif  // CATLISTV_CATBASEUNKNOWN_H
