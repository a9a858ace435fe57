// The command word of the DDE service's execute transactions.
#pragma once
#include <cstddef>
#include <cstdint>

// The longest execute text the service looks at: "print" and its
// terminator fit, anything longer cannot be the command anyway.
constexpr size_t kDdeCommandBytes = 8;

// True when the size bytes received in an execute transaction are the
// command "print" in any letter case. The command ends at the first NUL
// or at the end of the data, whichever comes first, so "print" followed
// by NUL matches, and so do the five letters alone without a terminator
// (some clients count the text without its NUL); "print x", "[print]" and
// "print " do not. Only the size bytes given are read.
bool IsPrintCommand(const uint8_t* data, size_t size);
