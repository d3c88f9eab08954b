// The program's side of the cryptography library: the binding that the window
// framework knows as the library's notify entry, the host-side command entries,
// the command dispatch and the host's service function.
#pragma once

#include <cstdint>
#include <string>

#include "crypto/abi.h"

namespace host {

// The first call, whatever its message, binds the library (attach, copy the
// 18-slot command table, take its notify function) and forwards the message.
// Later calls are forwarded; message 6 is forwarded and then detaches the
// library, once.
std::intptr_t CRYPTO_CALL cryptolib_notify(std::uint32_t message, std::intptr_t p1, std::intptr_t p2);

// Pass the call unchanged to slot 4 (encodebin) and slot 5 (decodebin).
void CRYPTO_CALL encodebin_stub(CommandResult* result, std::int32_t argc, CommandArg* args);
void CRYPTO_CALL decodebin_stub(CommandResult* result, std::int32_t argc, CommandArg* args);

// Zeroes a result record, calls the entry with (result, count, first argument)
// and hands the record back. Catches nothing. `library_index` is the library's
// place in the program's list of linked libraries; the entry does not use it.
CommandResult DispatchCommand(CommandFunction entry, int library_index, CommandArg* args, std::int32_t count);

// The host's service function: code 2024 with p2 = 0 allocates p1 bytes and
// answers their address. When the heap cannot supply them, or p1 is no 32-bit
// block size (negative), the program stops with its run-time error box and
// exit code -1.
std::intptr_t CRYPTO_CALL HostCallback(std::uint32_t code, std::intptr_t p1, std::intptr_t p2);

// Frees a text or byte array a command returned (the host owns them).
void FreeHostMemory(const void* block);

// What a command returned, taken into the program's own values (and freed).
std::string TakeText(const CommandResult& result);
std::string TakeBytes(const CommandResult& result);

// The run-time error: shows caption "错误" and the text, then ends the program
// with exit code -1. Tests may replace the box (the exit stays).
using FatalBox = void (*)(const std::string& caption, const std::string& text);
void SetFatalBox(FatalBox box);
// The heap HostCallback allocates from (malloc); tests may put one that fails
// in its place. Null restores malloc.
using HostHeap = void* (*)(std::size_t size);
void SetHostHeap(HostHeap heap);
[[noreturn]] void FatalRuntimeError(const std::string& message);

// The slot table as bound, for tests; null before binding.
CommandFunction BoundCommand(int slot);
bool LibraryBound();
bool LibraryDetached();
// Returns the binding to unbound (tests only; the programs bind once).
void ResetBindingForTests();

}  // namespace host
