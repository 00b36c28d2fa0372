// ld952: checks one KUF report before it is handed in.
#include "ld952.h"

int main(int argc, char **argv) { return ld952_main(argc, argv); }
