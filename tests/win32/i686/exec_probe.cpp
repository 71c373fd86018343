// Run by the test scripts before the 32-bit suites: if this prints its line,
// the machine runs 32-bit Windows code.
#include <cstdio>

int main() {
  std::printf("exec-probe: %u-bit code runs\n", static_cast<unsigned>(sizeof(void*) * 8));
  return 0;
}
