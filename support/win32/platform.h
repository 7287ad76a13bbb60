// The Windows services the launcher calls, from the real system headers.
#pragma once

#include <windows.h>
#include <shellapi.h>
