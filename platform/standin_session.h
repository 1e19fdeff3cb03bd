// Inside of the stand-in's batch session: the one session of the process.
#ifndef PLATFORM_STANDIN_SESSION_H
#define PLATFORM_STANDIN_SESSION_H

#include <string>

#include "CATSession.h"

class CATSession {
 public:
  explicit CATSession(std::string name) : name_(std::move(name)) {}
  const std::string& name() const { return name_; }

 private:
  std::string name_;
};

// The session that exists in the process, or null.
CATSession* CurrentStandinSession();

#endif  // PLATFORM_STANDIN_SESSION_H
