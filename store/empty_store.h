#pragma once
// Makes the store file the program expects to find: the three tables with their fields and no
// records, keyed with the given password. Only the build tool and tests use this; the program never
// creates the store.
#include <string>

namespace morvalin {

enum class EmptyStoreResult { kCreated, kAlreadyThere, kFailed };

// Writes a new empty store at `path`, unless something already exists there, which is left as it is.
// The file appears whole or not at all: it is built under a temporary name beside `path` and linked
// into place only when complete.
EmptyStoreResult CreateEmptyStore(const std::string& path, const std::string& password);

}  // namespace morvalin
