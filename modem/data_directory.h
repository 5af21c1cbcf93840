// Where the installed data (code table, example QSO files, resource file) is.
#pragma once

#include <string>

// share/vorda beside the program's own bin directory when that holds the code
// table (any install keeps this layout, also one under a prefix other than the
// configured one, or a package unpacked anywhere); otherwise `builtIn`, the
// directory the program was configured for.
std::string dataDirectoryFor(const char* builtIn);
