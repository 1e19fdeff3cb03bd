#include "prediction/placed_findings.h"

#include "findings/report.h"

std::vector<PlacedFinding> PlaceFindings(const RunPrediction& prediction, const CheckedPlan& listed,
                                         const ReadingMap& map) {
  std::vector<PlacedFinding> placed;
  placed.reserve(prediction.findings.size());
  for (const PredictedFinding& finding : prediction.findings) {
    const ListedObject* object = listed.At(finding.list, finding.index);
    if (object == nullptr) {  // the plan and its listing disagree: said without a record
      placed.push_back({1, finding.error, finding.message});
      continue;
    }
    const char* kind = finding.list == StageList::kDocumentInstances ? "instance " : "document ";
    placed.push_back(
        {map.KeyLine(object->record, finding.key), finding.error,
         kind + Quoted(object->object->GetIdentifier().CastToCharPtr()) + ": " + finding.message});
  }
  return placed;
}
