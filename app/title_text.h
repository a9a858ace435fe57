// Composition of the main window's title: "Kelvo" alone, or
// "Kelvo --- <name>" where name is the part of a path behind its last
// backslash, or a status text such as the snapshot countdown.
#pragma once
#include <cstddef>

// Both the name part and the composed title live in buffers of this many
// UTF-16 units, terminator included; longer titles are cut.
constexpr size_t kTitleCapacity = 256;

// Returns the part of text behind its last backslash (all of it when it
// has none). The result points into text.
const char16_t* TitleNamePart(const char16_t* text);

// Writes the title for text (null for none) into out, which holds
// outCapacity units. The result is always terminated and never cut inside
// a surrogate pair. Returns the number of units written, terminator not
// counted.
size_t ComposeMainTitle(const char16_t* text, char16_t* out, size_t outCapacity);
