// CATRawCollPV: a 1-based collection of untyped pointers. It owns nothing it points to.
#ifndef CATLISTPV_H
#define CATLISTPV_H

#include <algorithm>

#include "standin_list.h"

class CATRawCollPV : public StandinList<void*> {
 public:
  // Removes the null entries; the others keep their order.
  void RemoveNulls() {
    items_.erase(std::remove(items_.begin(), items_.end(), nullptr), items_.end());
  }
};

#endif  // CATLISTPV_H
