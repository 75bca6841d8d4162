// The guard lives in diagnostics/ so that remoting can use it too.
#pragma once

#include "diagnostics/host_call_guard.h"
