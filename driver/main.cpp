// ld952: checks one KUF report before it is handed in.
#include <cstdio>

#include "driver.hpp"

int main(int argc, char **argv) {
  report::FileSink console(stdout, false);
  int code = driver::run(argc, argv, console);
  console.close();
  return code;
}
