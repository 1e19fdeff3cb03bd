#include "driver/run.h"

#include <fstream>
#include <new>

#include "CATSessionServices.h"
#include "CATUnicodeString.h"
#include "controlfile/ztr_object_manager.h"
#include "output/output.h"
#include "plan/ztr_document_manager.h"
#include "session/run_stages.h"

namespace {

const char kSessionName[] = "Quorvel_Session";

// The one console line written whatever the trace switch says.
void WriteUsage(const char* invocation) {
  std::cout << "Usage: " << (invocation ? invocation : "") << " control_file" << std::endl;
}

// Everything between reading the control file and deleting the session; returns the exit code.
// Memory running out ends the run as a failure of the step it happened in: reading the control
// file (4), or the session, which is then deleted (6).
int RunOnControlFile(const CATUnicodeString& control_file, std::ofstream* log) {
  ZTRObjectManager objects;
  bool read = false;
  try {
    read = objects.ReadFile(control_file);
  } catch (const std::bad_alloc&) {
    read = false;
  }
  if (!read) {
    ConsoleLine("ZTR control_file not found");
    return 4;
  }
  if (TraceSwitchOn()) objects.Dump();

  CATSession* session = nullptr;
  const HRESULT created = Create_Session(kSessionName, session);
  if (FAILED(created) || session == nullptr) {
    ConsoleLine("ERROR in creating session");
    return 7;
  }
  ConsoleLine("Create_Session OK");

  try {
    ZTRDocumentManager manager(objects, log);
    if (TraceSwitchOn()) manager.Dump();
    // Stage failures show only in the stages' own lines; they never change the exit code.
    RunStages(&manager);
  } catch (const std::bad_alloc&) {
    Delete_Session(kSessionName, 0, 0);
    ConsoleLine("ERROR in deleting session");
    return 6;
  }

  if (FAILED(Delete_Session(kSessionName, 0, 0))) {
    ConsoleLine("ERROR in deleting session");
    return 6;
  }
  ConsoleLine("Delete_Session OK");
  return 0;
}

}  // namespace

int RunQuorvel(int argc, char* argv[]) {
  std::ofstream log;
  int exit_code = 0;
  if (argc < 2) {
    WriteUsage(argc > 0 ? argv[0] : nullptr);
    exit_code = 2;
  } else {
    const CATUnicodeString control_file(argv[1]);
    const CATUnicodeString log_file = control_file + ".log";
    // A log that cannot be opened loses its lines silently; the run goes on unchanged.
    log.open(log_file.ConvertToChar(), std::ios::out | std::ios::trunc);
    if (control_file == CATUnicodeString()) {
      WriteUsage(argv[0]);
      exit_code = 3;
    } else {
      exit_code = RunOnControlFile(control_file, &log);
    }
  }
  if (exit_code != 0) {
    LogLine(&log, "Quorvel failed");
    ConsoleLine("Quorvel failed");
  }
  log.close();
  return exit_code;
}
