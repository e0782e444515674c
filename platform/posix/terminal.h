// Standard input and output as a terminal user meets them: a secret line
// read without echo, and text written in the terminal's encoding.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace tessivo {

// The longest line kept; a longer one is cut there, and the rest of the
// input is left unread, so an endless input without a line end cannot hang
// the program.
constexpr std::size_t kMaxSecretLine = 256;

// Reads the first line of fd (without its "\n"). When fd is a terminal its
// echo is off meanwhile (the line end still shows, so the user sees the
// input was taken) and comes back on every way out: the line read, the
// input ended, or SIGINT, SIGTERM, SIGHUP or SIGQUIT, which then take their
// previous course. A stop (Ctrl-Z, a background read) gives the shell its
// terminal back as it was, and the echo goes off again when the process goes
// on. Signals the caller ignores or handles are left to it. Nothing when the
// input ends before any byte, or when timeoutMs (0: no bound) pass before
// the line has ended (a pipe whose writer stays silent).
std::optional<std::string> ReadLineWithoutEcho(int fd, unsigned timeoutMs = 0);

// A line naming the file and its mode and how to mend it, when fd is a
// regular file that its group or others may read; empty otherwise.
std::string UnsafeSecretFileLine(int fd);

// Writes the whole of Windows-1252 text to fd as UTF-8; failures are
// ignored, there is nowhere to report them. A closed pipe is one of them:
// SIGPIPE is ignored while writing.
void WriteUtf8(int fd, const std::string& text1252);

}  // namespace tessivo
