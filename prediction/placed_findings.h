// The findings of a predicted run placed at the control file's lines and worded for the
// engineer: each names its record, `document "ID": ` or `instance "ID": `, before what the run
// meets there. Quorvel-check --open and Quorvel-tree --plan both show these, so that they give
// the same errors for the same control file.
#ifndef PREDICTION_PLACED_FINDINGS_H
#define PREDICTION_PLACED_FINDINGS_H

#include <string>
#include <vector>

#include "findings/listed_objects.h"
#include "findings/reading_map.h"
#include "prediction/run_prediction.h"

struct PlacedFinding {
  int line;  // in the control file
  bool error;
  std::string message;
};

// One finding for each of `prediction`'s, in its order.
std::vector<PlacedFinding> PlaceFindings(const RunPrediction& prediction, const CheckedPlan& listed,
                                         const ReadingMap& map);

#endif  // PREDICTION_PLACED_FINDINGS_H
