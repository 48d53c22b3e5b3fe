#pragma once
// Start-up and shutdown of the system-components family. Start-up (once):
// registers the "TaskbarCreated" window message, the extra colour names,
// and the family's 23 component classes with the class registry in their
// fixed order. Shutdown (once): frees the shared hook list, releases the
// one-instance lock and removes the colour names.
#include <string>
#include <vector>

#include "platform/forms/Messages.h"

// The family's classes in registration order.
const std::vector<std::string>& SysComponentClassNames();
void InitSysComponents();
void DoneSysComponents();
// The number of the "TaskbarCreated" message (0 before start-up).
UINT SysTaskbarCreatedMessage();
