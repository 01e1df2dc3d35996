#pragma once
// The terminal stands in for the dialogs: the folder chooser and the question
// read a line from standard input, and the result goes to the mailbox.

// True while the worker waits for an answer on the terminal, so the progress
// line keeps quiet.
bool PromptOpen();
