// Program entry: prepares the record I/O layer, then performs the run.
#include "console/run.h"
#include "recio/statement.h"

int main(int argc, char** argv) {
  recio::start_run(argc, argv);
  console::run();
}
