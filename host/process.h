// The few process facts the binding needs, split by OS in process.cpp.
#pragma once

#include <string>

namespace host {

// The program's own module instance handle (never null).
void* ProgramInstance();
// A task-modal error box with no owner (caption, text); natively the text goes
// to standard error.
void ShowErrorBox(const std::string& caption, const std::string& text);

}  // namespace host
