// Releasing the open ports when the process is ended by a signal.
//
// A run killed with Ctrl+C, a plain `kill` or a closed terminal (SIGINT,
// SIGTERM, SIGHUP) would otherwise leave its port in exclusive mode: that mode
// belongs to the tty, not to our descriptor, so the next program would be
// refused for as long as anyone else keeps the tty open. The serial layer
// registers every port it opens; a handler, installed with the first
// registration, releases them (exclusive mode cleared, lock dropped,
// descriptor closed) and then ends the process the way the signal would have.
// Only ports that this program put into exclusive mode are registered.
#pragma once

namespace tessivo {

// Keeps fd to be released on a terminating signal. A signal the process was
// started with ignored (nohup) or handled by someone else is left alone.
// Returns false only when every slot is taken: the port then still works, it
// is just not released by a signal.
bool RegisterOpenPort(int fd);

// Forgets fd; the owner calls it once the port is released, before closing.
void UnregisterOpenPort(int fd);

}  // namespace tessivo
