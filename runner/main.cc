#include "findings/companion_main.h"
#include "runner/run_plan.h"

int main(int argc, char* argv[]) {
  const RunnerSettings settings = InstalledSettings();
  return RunCompanionMain(
      [&settings](int argc, char* argv[], std::ostream& out, std::ostream& err, FileSystem& files) {
        return RunCampaignCommand(argc, argv, out, err, files, settings);
      },
      argc, argv);
}
