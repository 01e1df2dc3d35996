#pragma once
// A studio's program as its options name it (--title, --background, --icon,
// --registry-value): the files read and checked, and the settings the
// program is told, before a stub is read or anything is written.

#include <string>

#include "builder/build_options.h"
#include "builder/task_paths.h"
#include "pe/program_look.h"

// The studio's files among the inputs a task's outputs must keep apart from.
void AddLookInputs(const CBuildOptions& options, CTaskPaths& paths);
// False, with `why` naming the file and what is wrong with it.
bool LoadProgramLook(const CBuildOptions& options, CProgramLook& look, std::string* why);
