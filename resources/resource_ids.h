#pragma once
// Resource and control numbers, shared by the program, its Win32 layer (the
// patch data's resource) and its .rc file (which is why these are macros).

#define IDB_QUIT_BUTTON 129
#define IDB_BACKGROUND 130
#define IDI_QELPATCH 133
#define IDR_PATCH_DATA 136
// A studio's program only: its settings (engine/program_settings.h), RCDATA.
#define IDR_PROGRAM_SETTINGS 137
#define IDC_QUIT 0x8003
// The type of the patch data resource.
#define RT_PATCH_DATA "DAT"
