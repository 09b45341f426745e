// Starts a program with no shell in between and leaves it to run on its own.
#pragma once
#include <string>
#include <vector>

namespace veska {

// Runs the program file with argv[0] = path and no other argument. The program is a grandchild
// handed to init (nothing of ours to reap), in a session of its own, with only stdin, stdout
// and stderr inherited, and our environment with `extra` ("NAME=value") put over it. False when
// the first fork fails; an exec failure is not seen here.
bool SpawnDetached(const std::string& path, const std::vector<std::string>& extra = {});

}  // namespace veska
