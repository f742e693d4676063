// make_empty_store <path>: puts an empty task store at <path> when nothing is there yet, and leaves
// an existing file alone. The build runs it to place data/Data.mdb in the run directory.
#include <cstdio>

#include "store/empty_store.h"
#include "store/task_store.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_empty_store <path>\n");
    return 2;
  }
  switch (morvalin::CreateEmptyStore(argv[1], std::string(morvalin::kStorePassword))) {
    case morvalin::EmptyStoreResult::kCreated:
      std::printf("created %s\n", argv[1]);
      return 0;
    case morvalin::EmptyStoreResult::kAlreadyThere:
      return 0;
    case morvalin::EmptyStoreResult::kFailed:
      break;
  }
  std::fprintf(stderr, "make_empty_store: cannot write %s\n", argv[1]);
  return 1;
}
