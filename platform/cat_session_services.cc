#include <memory>

#include "CATSessionServices.h"
#include "standin_faults.h"
#include "standin_session.h"

namespace {
std::unique_ptr<CATSession> g_session;
}  // namespace

CATSession* CurrentStandinSession() { return g_session.get(); }

HRESULT Create_Session(const char* name, CATSession*& session) {
  session = nullptr;
  if (g_session != nullptr || StandinFault("Create_Session")) return E_FAIL;
  g_session = std::make_unique<CATSession>(name ? name : "");
  session = g_session.get();
  return S_OK;
}

HRESULT Delete_Session(const char* name, int, int) {
  if (g_session == nullptr || g_session->name() != (name ? name : "") ||
      StandinFault("Delete_Session")) {
    return E_FAIL;
  }
  g_session.reset();
  return S_OK;
}
