// One-shot failures that tests arm through WinApiInjectFailure.
#pragma once

#include "platform/winapi/WinApi.h"

// True once after the point was armed.
bool TakeInjectedFailure(WinApiFailure point);
