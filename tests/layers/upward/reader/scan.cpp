// A reader file that reaches up into the rules.
#include "regel.hpp"
