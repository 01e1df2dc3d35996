#pragma once
// The unfinished outputs an interrupt must remove: the builder's temporary
// files beside its outputs and its scratch folders. Only normal code reads
// and changes the list (the interrupt is taken on a thread of its own), so
// it may hold any number.

#include <functional>
#include <string>

// Makes a file or folder with `make`, which names what it made, and notes it
// as unfinished in the same step: an interrupt either comes before it is
// made or removes it. An id for RemovePendingOutput; -1 when `make` failed.
int AddPendingOutput(const std::function<bool(std::string& made)>& make, bool folder);
// The output is finished (or removed by its owner): an interrupt leaves it.
void RemovePendingOutput(int id);
// Removes every unfinished output, folders with all in them. Outputs added
// after it wait for ever: it is an interrupt's last act before the end.
void RemoveAllPendingOutputs();
