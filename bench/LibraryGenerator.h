// A large library that looks like a real catalogue (photo, music, software,
// document and backup volumes), made from a fixed seed so that every run makes
// the same one: the common data set of the benchmarks.
#pragma once

#include <cstdint>
#include <string>

namespace tw {
class TLibObj;
class TGlobalData;
}

namespace tw::bench {

struct TLibraryShape {
  int Volumes = 20;
  int Folders = 50000;  // folder records below the volumes
  int Files = 1000000;  // file entries, archive members included
};

// "lib1m.twl" for the default shape, "lib<FILES>.twl" otherwise.
std::string LibraryFileName(const TLibraryShape& shape);

// Written into the library's comments; a file that carries another stamp was
// made by an older generator and is made again.
std::string GeneratorStamp(const TLibraryShape& shape);

// Fills an empty library.
void GenerateLibrary(TLibObj& lib, const TLibraryShape& shape);

// Makes the data set in g's library and saves it as `file`; false when a
// current file was already there (the library then stays empty).
bool EnsureLibrary(TGlobalData& g, const std::string& file, const TLibraryShape& shape);

}  // namespace tw::bench
