// Releasing the open ports when the process is ended by a signal.
//
// A run killed with Ctrl+C, a plain `kill`, a closed terminal or any other
// signal whose default is to end the process would otherwise leave its port
// in exclusive mode: that mode belongs to the tty, not to our descriptor, so
// the next program would be refused for as long as anyone else keeps the tty
// open. It would also leave the tty with our raw 9600-baud settings. The
// serial layer registers every port it opens; a handler, installed with the
// first registration, releases them (settings put back, exclusive mode
// cleared, lock dropped, descriptor closed) and then ends the process the way
// the signal would have.
#pragma once

#include <termios.h>

namespace tessivo {

// The signals that end the process by default and can be caught, each of
// which releases the registered ports first.
extern const int kPortReleasingSignals[];
extern const int kPortReleasingSignalCount;

// Keeps fd to be released on a terminating signal: its settings set back to
// *saved (unless null) and, when clearExclusive, its exclusive mode cleared
// (only a mode this program set is ours to clear). A signal the process was
// started with ignored (nohup) or handled by someone else is left alone.
// Returns false only when every slot is taken: the port then still works, it
// is just not released by a signal.
bool RegisterOpenPort(int fd, const termios* saved, bool clearExclusive);

// Forgets fd; the owner calls it once the port is released, before closing.
void UnregisterOpenPort(int fd);

}  // namespace tessivo
