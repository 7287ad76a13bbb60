// Resource identifiers shared by the resource script and the code.
#pragma once

#define IDD_LAUNCHER 104
#define IDI_LAUNCHER 107
#define IDC_MESSAGE 1001
