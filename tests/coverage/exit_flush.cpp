// Linked into every program of the coverage build with -Wl,--wrap=_exit: a
// run that ends through _exit (every run end, and the children of death tests
// and fault sweeps) first writes its line counts, which _exit would skip.
extern "C" {
void __gcov_dump();
[[noreturn]] void __real__exit(int status);

[[noreturn]] void __wrap__exit(int status) {
  __gcov_dump();
  __real__exit(status);
}
}
