// CATListValCATString: a 1-based list of CATString values.
#ifndef CATLISTOFCATSTRING_H
#define CATLISTOFCATSTRING_H

#include "CATString.h"
#include "standin_list.h"

class CATListValCATString : public StandinList<CATString> {
 public:
  // Position of the first element equal to `item`, searching from 1; 0 when there is none.
  int Locate(const CATString& item) const {
    for (size_t i = 0; i < items_.size(); ++i) {
      if (items_[i] == item) return static_cast<int>(i) + 1;
    }
    return 0;
  }
};

#endif  // CATLISTOFCATSTRING_H
