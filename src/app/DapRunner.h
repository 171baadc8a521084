#pragma once

#include "frontend/dap/DapSession.h"
#include "host/config/ConfigLocation.h"

namespace dap {

// `tevrinemu --dap`: the debug adapter on two file descriptors (standard input and output when
// an editor starts it) until the client disconnects or closes its end. `place` is the
// configuration a launch without its own uses; `makeWindow` shows a launch's "window" (none
// without it). Returns the process's exit status.
int RunAdapter(const config::ConfigPlace& place, int in, int out, WindowMaker makeWindow = {});

}  // namespace dap
