// The closing checks of an employer over all its employee records come here.
#include "internal.hpp"

namespace rules {

int zpracuj_TELk() {
  reader::st.rezim_zprac = 'H';
  return 0;
}

} // namespace rules
