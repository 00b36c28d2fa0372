// How what the state machine reads is carried out: at once on the thread that reads, or, on a
// machine with a second processor, queued from a reading thread to the thread that checks.
#pragma once

#include "run_state.hpp"

namespace driver {

// Carries out each finding, copy line, element and section handler at once: the check on one
// thread, and the checking thread of a check on two for each item it takes from the queue.
class Primo final : public reader::Predani {
public:
  void zbytek(std::string_view elem, std::string_view zbytek) override;
  void kopie(std::string_view text) override;
  void prvek(const reader::Prvek &p) override;
  void obsluha(char stav) override;
};

// The state loop of the reader, from the prologue to the final end of input (state W).
void cti_dokument();

// Whether a check runs on two threads: `vlakna` of the options, or when it is 0 whether the
// process may run on more than one processor.
bool dve_vlakna(int vlakna);

// The check on two threads: this thread checks and writes the protocol and the console,
// another reads the input with the scanner and the state machine and writes the output copy.
// Every byte goes out in the order of the one-thread check; an ending of the reading thread
// (the summary, a fatal ending, a failed read, lack of memory) is carried out here in its turn,
// once that thread has stopped, and a check that ends here early cuts the output copy back to
// what the one-thread check would have written. False, with nothing done, when no second
// thread can be started.
bool dve_vlakna_kontrola(Primo &primo);

} // namespace driver
