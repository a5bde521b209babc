#include "core/shutdown.h"

namespace dw {

void ShutDown(Program& p) {
  p.LinkPort.reset();
  p.desk.Close();
  throw ProgramEnded{};
}

}  // namespace dw
