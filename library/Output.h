// Writing listings: text to a stream in large writes, a failure of the
// stream as the programs report it, and messages kept on one line.
#pragma once

#include <ostream>
#include <string>
#include <string_view>

#include "pathsuite/text.h"

using pathsuite::TextBuffer;

// text with its control characters written out, so that it stays on one
// line: \n and \t as such, the others as \xHH. Everything else, UTF-8
// included, is kept as it is.
std::string Output_Escaped(std::string_view text);

// Writes text to out; throws RunError (status 1) when the stream fails.
void Output_Write(std::ostream& out, std::string_view text);

// Writes text out and empties it once it holds 1 MiB or more, so that a long
// listing goes out in large writes without ever being held whole.
void Output_WriteWhenFull(std::ostream& out, TextBuffer& text);
