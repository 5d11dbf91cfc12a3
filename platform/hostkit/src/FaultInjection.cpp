#include "Port/FaultInjection.h"

#include <unistd.h>

#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace Port::FaultInjection {

namespace {

struct Armed {
  std::string operation;
  std::string pathPart;
  int remaining;  // calls to let pass plus one; 0 means every call fails
  bool spent;
  bool exit;  // ends the process instead of failing the call
  std::function<void()> action;  // run instead of failing the call, when set
};

// Operations run on any thread, so the table is guarded.
std::mutex& TableLock() {
  static std::mutex lock;
  return lock;
}

std::vector<Armed>& Table() {
  static std::vector<Armed> table;
  return table;
}

}  // namespace

void Fail(std::string_view operation, int nth, std::string_view pathPart) {
  std::lock_guard<std::mutex> hold(TableLock());
  Table().push_back(Armed{std::string(operation), std::string(pathPart), nth < 0 ? 0 : nth, false, false, {}});
}

void Exit(std::string_view operation, int nth, std::string_view pathPart) {
  std::lock_guard<std::mutex> hold(TableLock());
  Table().push_back(Armed{std::string(operation), std::string(pathPart), nth < 0 ? 0 : nth, false, true, {}});
}

void Act(std::string_view operation, int nth, std::string_view pathPart, std::function<void()> action) {
  std::lock_guard<std::mutex> hold(TableLock());
  Table().push_back(
      Armed{std::string(operation), std::string(pathPart), nth < 0 ? 0 : nth, false, false, std::move(action)});
}

void Clear() {
  std::lock_guard<std::mutex> hold(TableLock());
  Table().clear();
}

bool ShouldFail(std::string_view operation, std::string_view path) {
  std::vector<std::function<void()>> actions;
  bool fail = false;
  {
    std::lock_guard<std::mutex> hold(TableLock());
    for (Armed& armed : Table()) {
      if (armed.spent || (armed.operation != operation && !(armed.exit && armed.operation == "*"))) continue;
      if (!armed.pathPart.empty() && path.find(armed.pathPart) == std::string_view::npos) continue;
      bool strikes = armed.remaining == 0;
      if (!strikes && --armed.remaining == 0) {
        armed.spent = true;  // a counted failure strikes once
        strikes = true;
      }
      if (strikes && armed.exit) ::_exit(kExitStatus);
      if (strikes && armed.action) {
        actions.push_back(armed.action);
        continue;
      }
      fail = fail || strikes;
    }
  }
  // Outside the table's lock: an action may call operations that ask here again.
  for (const std::function<void()>& action : actions) action();
  return fail;
}

}  // namespace Port::FaultInjection
