// A check on two threads: one reads the input with the scanner and the state machine and
// writes the output copy, the caller's thread checks and writes the protocol and the console.
#pragma once

#include <optional>

#include "run_state.hpp"

namespace driver {

// Whether a check runs on two threads: `vlakna` of the options, or when it is 0 whether the
// process may run on more than one processor.
bool dve_vlakna(int vlakna);

// The check on two threads. The reading half goes to a thread of its own, which hands what the
// state machine reads to this thread through one queue; this thread checks it with the
// checking half, in the order of the document, so that every byte goes out as on one thread.
// How the reading ended comes through the queue too. A check that ends here early (an
// exception) stops the reading thread and cuts the output copy back to what a check on one
// thread would have written by then, so the copy must be one that can be cut back. Nothing,
// with nothing done, when no second thread can be started.
std::optional<KonecCteni> dve_vlakna_kontrola(Kontrola &k);

} // namespace driver
